#pragma once

#include <cstddef>
#include <vector>

#include "base/time_value.h"
#include "map/map_spec.h"
#include "net/output_buffer.h"
#include "sim/world.h"

namespace rover {

// "I dx dy limit rear front vmax turn hard ;"
void sendInit(OutputBuffer& out, const MapSpec& map);
// "T t ct x y dir v objects ;" for the visible entries of world.roverObjects
// (indices in list order, as the sensing pass returned them).
void sendTelemetry(OutputBuffer& out, const TimeValue& runTime, const World& world,
                   const std::vector<std::size_t>& visible);
// "B t ;", "C t ;", "K t ;" or "S t ;"
void sendEvent(OutputBuffer& out, char event, const TimeValue& runTime);
// "E t score ;"
void sendEnd(OutputBuffer& out, const TimeValue& runTime, const TimeValue& score);

}  // namespace rover
