#include "base/failure.h"

#include <cstring>
#include <utility>

#include "base/errno_names.h"

namespace rover {

Failure::Failure(FailureKind kind, std::optional<std::string> message, std::optional<int> errorCode)
    : kind_(kind), message_(std::move(message)), errorCode_(errorCode) {
  description_ = rover::kindName(kind_);
  if (message_) description_ += ": " + *message_;
  if (errorCode_) description_ += " (" + errnoName(*errorCode_) + ")";
}

Failure& Failure::at(SourcePosition position) {
  position_ = position;
  return *this;
}

Failure& Failure::because(std::string detail) {
  detail_ = std::move(detail);
  return *this;
}

void raiseFail(std::string message, std::optional<SourcePosition> at) {
  Failure failure(FailureKind::Fail, std::move(message));
  if (at) failure.at(*at);
  throw failure;
}

void raiseKind(FailureKind kind) {
  throw Failure(kind);
}

void raiseSystemError(std::string message, std::optional<int> errorCode) {
  throw Failure(FailureKind::SysErr, std::move(message), errorCode);
}

void raiseErrno(int code) {
  raiseSystemError(std::strerror(code), code);
}

}  // namespace rover
