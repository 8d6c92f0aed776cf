#pragma once

#include <cstddef>
#include <vector>

#include "sim/motion.h"
#include "sim/view_ellipse.h"
#include "sim/world.h"

namespace rover {

// Sets every visible flag of world.roverObjects (view ellipse, then
// occlusion by visible boulders) and returns the indices of the visible
// entries in list order. `occluded`, when given, receives the entries inside
// the ellipse that a boulder hides, in list order (for records). The rover
// list must name the rules' static objects.
std::vector<std::size_t> sensePass(const ViewEllipse& view, World& world, const WorldRules& rules,
                                   std::vector<std::size_t>* occluded = nullptr);

}  // namespace rover
