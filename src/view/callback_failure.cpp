#include "view/callback_failure.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "base/failure.h"

namespace rover {

std::string describeCurrentException() {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure.what();
  } catch (const std::exception& exception) {
    return std::string("std::exception: ") + exception.what();
  } catch (...) {
    return "unknown exception";
  }
}

namespace {

CallbackFailureHook& failureHook() {
  static CallbackFailureHook hook;
  return hook;
}

std::optional<Failure> currentFailure() {
  try {
    throw;
  } catch (const Failure& failure) {
    return failure;
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace

void setCallbackFailureHook(CallbackFailureHook hook) {
  failureHook() = std::move(hook);
}

void reportCallbackFailure() {
  const std::string description = describeCurrentException();
  std::string after;
  if (failureHook()) {
    // Nothing may stop the report: a failure while finishing the files is dropped.
    try {
      after = failureHook()("unhandled exception: " + description, currentFailure());
    } catch (...) {
    }
  }
  std::fflush(stdout);
  std::fputs("error: failure escaped a window callback\n", stderr);
  std::fputs(("unhandled exception: " + description + "\n").c_str(), stderr);
  std::fputs(after.c_str(), stderr);
  std::fflush(stderr);
  std::exit(1);
}

}  // namespace rover
