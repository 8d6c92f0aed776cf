#pragma once

#include "sim/motion.h"
#include "sim/random.h"
#include "sim/static_objects.h"
#include "sim/steering.h"
#include "sim/world.h"

namespace rover {

// The wander decision for one live Martian: draws once from the generator
// and stores the chosen controls into martian.control. The look-ahead is
// over the static objects.
void decideMartian(Martian& martian, const MotionState& rover, const StaticObjects& statics,
                   const SteerConstants& constants, Random& random);

}  // namespace rover
