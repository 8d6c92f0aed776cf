#pragma once

#include <cstddef>

#include "lib/telemetry_fields.h"

namespace rover {

// Writes a "T"'s fields as rover.h's flat observation: ROVER_OBS_SIZE
// (maxObjects) doubles, the first maxObjects objects in the message's
// order (as far as `telemetry` holds them) and zeros in the slots left over.
void writeObservation(const TelemetryFields& telemetry, double* out, std::size_t maxObjects);

}  // namespace rover
