#pragma once

#include <exception>
#include <optional>
#include <string>

namespace rover {

// The one exception type of the server. Every failure carries a kind name
// ("Fail", "Io", "Option", "Overflow", "Subscript", "Empty", "Incomplete",
// "SysErr", "Usage", ...), an optional message text and an optional system
// error code. Failures are raised where they happen and reported once, at the
// top level (or at a window callback).
class Failure : public std::exception {
 public:
  explicit Failure(std::string kind, std::optional<std::string> message = std::nullopt,
                   std::optional<int> errorCode = std::nullopt);

  const std::string& kind() const { return kind_; }
  const std::optional<std::string>& message() const { return message_; }
  const std::optional<int>& errorCode() const { return errorCode_; }

  // "Kind", "Kind: message" or "Kind: message (errname)"; for diagnostics
  // and the window's callback failure report, never for the top-level line.
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  std::string kind_;
  std::optional<std::string> message_;
  std::optional<int> errorCode_;
  std::string description_;
};

// The generic failure with a message (map syntax, protocol violations).
[[noreturn]] void raiseFail(std::string message);
// A failure of the given kind without a message ("Io", "Option", ...).
[[noreturn]] void raiseKind(std::string kind);
// A system error: kind "SysErr", the system's message and, when known, its errno.
[[noreturn]] void raiseSystemError(std::string message, std::optional<int> errorCode);
// raiseSystemError(strerror(code), code).
[[noreturn]] void raiseErrno(int code);

// The lower-case POSIX name of an errno value without its leading E
// ("addrinuse", "pipe", ...), or "<UNKNOWN>" for a value the platform does not name.
std::string errnoName(int code);

}  // namespace rover
