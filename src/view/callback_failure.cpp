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

void reportCallbackFailure() {
  const std::string description = describeCurrentException();
  std::fflush(stdout);
  std::fputs("error: failure escaped a window callback\n", stderr);
  std::fputs(("unhandled exception: " + description + "\n").c_str(), stderr);
  std::fflush(stderr);
  std::exit(1);
}

}  // namespace rover
