#include "base/failure.h"

#include <cstring>
#include <utility>

namespace rover {

Failure::Failure(std::string kind, std::optional<std::string> message, std::optional<int> errorCode)
    : kind_(std::move(kind)), message_(std::move(message)), errorCode_(errorCode) {
  description_ = kind_;
  if (message_) description_ += ": " + *message_;
  if (errorCode_) description_ += " (" + errnoName(*errorCode_) + ")";
}

void raiseFail(std::string message) {
  throw Failure("Fail", std::move(message));
}

void raiseKind(std::string kind) {
  throw Failure(std::move(kind));
}

void raiseSystemError(std::string message, std::optional<int> errorCode) {
  throw Failure("SysErr", std::move(message), errorCode);
}

void raiseErrno(int code) {
  raiseSystemError(std::strerror(code), code);
}

}  // namespace rover
