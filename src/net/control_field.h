#pragma once

#include <string>

#include "sim/motion.h"

namespace rover {

// The two letters a "T" message shows for the rover's controls: the
// acceleration state as "b-a"[accel + 1], then the turn state as
// "Rr-lL"[turn + 2]. A state out of range is an internal failure.
std::string controlField(ControlState control);

}  // namespace rover
