#pragma once

#include "map/json_value.h"
#include "map/map_loader.h"
#include "map/map_spec.h"

namespace rover {

// Checks a parsed map document in the fixed order of the map format and
// builds the records from it. A missing key fails with "Fail" and the
// lookup's message, a value of the wrong kind with "Fail" and no message,
// an empty "runs" with "Empty"; `report` gets the place and a description.
MapSpec buildMapSpec(const JsonValue& document, MapLoadReport& report);

}  // namespace rover
