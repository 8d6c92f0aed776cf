#pragma once

#include "map/json_value.h"
#include "map/map_spec.h"

namespace rover {

// Checks a parsed map document in the fixed order of the map format and
// builds the records from it. A missing key fails with "Fail" and the
// lookup's message, a value of the wrong kind with "Fail", an empty "runs"
// with "Empty"; each failure carries the place of the value it is about and
// a description for the map's author (e.g. "\"timeLimit\": expected an integer").
MapSpec buildMapSpec(const JsonValue& document);

}  // namespace rover
