#pragma once

#include <cstddef>
#include <vector>

#include "sim/motion.h"
#include "sim/world.h"

namespace rover {

// The rover's view region: an ellipse with the rover at a focus, reaching
// frontView ahead and rearView behind.
struct ViewEllipse {
  double offset = 0.0;
  double major = 0.0;
  double minor = 0.0;
  double degToRad = kPi / 180;
};

ViewEllipse makeViewEllipse(const VehicleParams& roverParams);

// Sets every visible flag of world.roverObjects (view ellipse, then
// occlusion by visible boulders) and returns the indices of the visible
// entries in list order. `occluded`, when given, receives the entries inside
// the ellipse that a boulder hides, in list order (for records).
std::vector<std::size_t> sensePass(const ViewEllipse& view, World& world,
                                   std::vector<std::size_t>* occluded = nullptr);

// The same pass with the static objects searched through the rules' grid.
// It needs world.roverObjects laid out as a run starts it: the Martian
// entries, then exactly rules.objects (a list of another length is walked
// as above).
std::vector<std::size_t> sensePass(const ViewEllipse& view, World& world, const WorldRules& rules,
                                   std::vector<std::size_t>* occluded = nullptr);

}  // namespace rover
