#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/failure.h"

namespace rover {

// Called once when a failure escaped a window callback, before the process
// ends: the "unhandled exception: ..." line and the failure, when it was one
// of ours. The server uses it to finish its results and record files. It
// returns lines to write after the report (--verbose), or "".
using CallbackFailureHook =
    std::function<std::string(const std::string& line, const std::optional<Failure>& failure)>;
void setCallbackFailureHook(CallbackFailureHook hook);

// Describes the exception being handled: a Failure's description
// ("Fail: EOF", "SysErr: Broken pipe (pipe)"), another exception's what(),
// or a fixed text for anything else. Call only inside a catch block.
std::string describeCurrentException();

// The end of a failure that escaped a window callback: one fixed line, then
// "unhandled exception: " and the description, on standard error; exit status 1.
// Call only inside a catch block.
[[noreturn]] void reportCallbackFailure();

// Runs a callback body so that no exception ever crosses into GLUT: any
// failure ends the process through reportCallbackFailure.
template <typename Body>
void guardCallback(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    reportCallbackFailure();
  }
}

}  // namespace rover
