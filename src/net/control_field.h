#pragma once

#include <string>
#include <string_view>

#include "sim/motion.h"

namespace rover {

// The letters of the two states, lowest state first: acceleration -1..1 and
// turn -2..2. Readers of the field (the library) map them back the same way.
inline constexpr std::string_view kAccelLetters = "b-a";
inline constexpr std::string_view kTurnLetters = "Rr-lL";

// The two letters a "T" message shows for the rover's controls: the
// acceleration state as "b-a"[accel + 1], then the turn state as
// "Rr-lL"[turn + 2]. A state out of range is an internal failure.
std::string controlField(ControlState control);

}  // namespace rover
