#pragma once

#include <string>

#include "map/map_spec.h"

namespace rover {

// A short overview of a loaded map for its author: size, time limit, object
// counts, runs and the Martians of each run (one screen at most).
std::string summarizeMap(const std::string& path, const MapSpec& map);

// The same facts for programs, as one JSON object on one line
// (docs/mapcheck.md): every real exact, every run listed.
std::string summarizeMapJson(const std::string& path, const MapSpec& map);

}  // namespace rover
