#pragma once

#include <vector>

#include "sim/motion.h"
#include "sim/random.h"
#include "sim/steering.h"
#include "sim/world.h"

namespace rover {

// The wander decision for one live Martian: draws once from the generator
// and stores the chosen controls into martian.control.
void decideMartian(Martian& martian, const MotionState& rover, const std::vector<WorldObject>& objects,
                   const SteerConstants& constants, Random& random);
// The same decision, with the look-ahead searched through the rules' grid.
void decideMartian(Martian& martian, const MotionState& rover, const WorldRules& rules,
                   const SteerConstants& constants, Random& random);

}  // namespace rover
