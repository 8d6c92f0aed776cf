#pragma once

#include <string>

#include "map/map_spec.h"

namespace rover {

// The map as loaded, as the JSON object of a record's header: what viewers
// draw. The raw file cannot serve them: the map reader takes comments, the
// first of duplicate keys, integers of any size and only the first value.
std::string mapAsJson(const MapSpec& map);

}  // namespace rover
