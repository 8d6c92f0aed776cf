#pragma once

#include <string>

#include "map/map_spec.h"

namespace rover {

// Reads, parses and checks the map file; raises the failure kinds of a bad map
// ("Io", "Incomplete", "Fail", "Empty").
MapSpec loadMap(const std::string& path);

}  // namespace rover
