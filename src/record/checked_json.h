#pragma once

// RapidJSON checks its preconditions (a value of the right type, an index in
// range) with RAPIDJSON_ASSERT. A record is input from outside, so a broken
// one must end in a clear failure, not in an abort: every include of
// RapidJSON goes through this header.
#include <stdexcept>

#include "base/failure.h"

#ifndef RAPIDJSON_ASSERT
#define RAPIDJSON_ASSERT(condition)                                                                     \
  do {                                                                                                  \
    if (!(condition)) throw ::rover::Failure(::rover::FailureKind::Fail, "a value of the wrong shape"); \
  } while (false)
#endif
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
