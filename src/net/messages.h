#pragma once

#include <cstddef>
#include <vector>

#include "base/time_value.h"
#include "map/map_spec.h"
#include "net/output_buffer.h"
#include "net/static_object_text.h"
#include "sim/world.h"

namespace rover {

// "I dx dy limit rear front vmax turn hard ;"
void sendInit(OutputBuffer& out, const MapSpec& map);
// "T t ct x y dir v objects ;" for the visible entries of world.roverObjects
// (indices in list order, as the sensing pass returned them); the static
// objects' text comes from `statics`, made of the list's static objects.
void sendTelemetry(OutputBuffer& out, const TimeValue& runTime, const World& world,
                   const std::vector<std::size_t>& visible, const StaticObjectText& statics);
// "B t ;", "C t ;", "K t ;" or "S t ;"
void sendEvent(OutputBuffer& out, char event, const TimeValue& runTime);
// "E t score ;"
void sendEnd(OutputBuffer& out, const TimeValue& runTime, const TimeValue& score);

}  // namespace rover
