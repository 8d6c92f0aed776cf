#pragma once

#include <exception>
#include <optional>
#include <string>

#include "base/failure_kind.h"
#include "base/source_position.h"

namespace rover {

// The one exception type of the server. A failure carries its kind, and
// where known a message text (the failure's own words, such as "EOF"), the
// system's error code, the place in the map file it was found at, and a
// detail that explains it to a person ("\"timeLimit\": expected an integer").
// It is raised where it happens, with all it knows, and reported once: at the
// top level, or at a window callback.
class Failure : public std::exception {
 public:
  explicit Failure(FailureKind kind, std::optional<std::string> message = std::nullopt,
                   std::optional<int> errorCode = std::nullopt);

  // Set at the raise site: `throw Failure(FailureKind::Fail).at(where).because("...")`.
  Failure& at(SourcePosition position);
  Failure& because(std::string detail);

  FailureKind kind() const { return kind_; }
  const char* kindName() const { return rover::kindName(kind_); }
  const std::optional<std::string>& message() const { return message_; }
  const std::optional<int>& errorCode() const { return errorCode_; }
  const std::optional<SourcePosition>& position() const { return position_; }
  const std::optional<std::string>& detail() const { return detail_; }

  // "Kind", "Kind: message" or "Kind: message (errname)"; for diagnostics
  // and the window's callback failure report, never for the top-level line.
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  FailureKind kind_;
  std::optional<std::string> message_;
  std::optional<int> errorCode_;
  std::optional<SourcePosition> position_;
  std::optional<std::string> detail_;
  std::string description_;
};

// The generic failure with a message (map syntax, protocol violations),
// optionally at a place in the map file.
[[noreturn]] void raiseFail(std::string message, std::optional<SourcePosition> at = std::nullopt);
// A failure of the given kind without a message.
[[noreturn]] void raiseKind(FailureKind kind);
// A system error: kind SysErr, the system's message and, when known, its errno.
[[noreturn]] void raiseSystemError(std::string message, std::optional<int> errorCode);
// raiseSystemError(strerror(code), code).
[[noreturn]] void raiseErrno(int code);

}  // namespace rover
