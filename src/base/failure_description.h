#pragma once

#include <string>

#include "base/failure.h"

namespace rover {

// One line naming the file, the place (when known), the failure's kind and
// everything known about what went wrong: what mapcheck prints for a bad
// map, and what the library reports for one.
std::string describeFailure(const std::string& path, const Failure& failure);

}  // namespace rover
