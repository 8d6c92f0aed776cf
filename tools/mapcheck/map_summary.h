#pragma once

#include <string>

#include "base/failure.h"
#include "map/map_spec.h"

namespace rover {

// A short overview of a loaded map for its author: size, time limit, object
// counts, runs and the Martians of each run (one screen at most).
std::string summarizeMap(const std::string& path, const MapSpec& map);

// The same facts for programs, as one JSON object on one line
// (docs/mapcheck.md): every real exact, every run listed.
std::string summarizeMapJson(const std::string& path, const MapSpec& map);

// One line naming the file, the place (when known), the failure's kind and
// everything known about what went wrong.
std::string describeFailure(const std::string& path, const Failure& failure);

}  // namespace rover
