#pragma once

#include <string>

#include "map/byte_source.h"
#include "map/map_spec.h"
#include "map/source_position.h"

namespace rover {

// Reads, parses and checks the map file; raises the failure kinds of a bad map
// ("Io", "Incomplete", "Fail", "Empty").
MapSpec loadMap(const std::string& path);

// What a failed load leaves behind for a person to read: where the reader
// stood (or the value the checks rejected) and, where known, what was wrong
// in words. The failure raised is the same as loadMap's.
struct MapLoadReport {
  SourcePosition position;
  std::string detail;  // e.g. "\"timeLimit\": expected an integer"
};

// loadMap with a report that is filled as the load goes.
MapSpec loadMap(const std::string& path, MapLoadReport& report);

// Parses and checks a map held in a byte source (tests, fuzzing).
MapSpec loadMapFrom(ByteSource& source, MapLoadReport& report);

}  // namespace rover
