#pragma once

#include <string>

#include "map/byte_source.h"
#include "map/map_spec.h"

namespace rover {

// Reads, parses and checks the map file; raises the failure kinds of a bad map
// ("Io", "Incomplete", "Fail", "Empty"), each with what is known of its place
// and cause.
MapSpec loadMap(const std::string& path);

// The same for a map held in any byte source: parses the first value,
// closes the source, then checks the value.
MapSpec loadMapFrom(ByteSource& source);

}  // namespace rover
