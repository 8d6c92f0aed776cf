#pragma once

#include <cstddef>
#include <vector>

#include "sim/motion.h"
#include "sim/sight_lines.h"
#include "sim/static_objects.h"
#include "sim/view_ellipse.h"
#include "sim/world.h"

namespace rover {

// The rover's sensing, pass after pass; it keeps its storage between passes,
// so that a pass allocates nothing once the lists have grown.
class Sensing {
 public:
  // Sets every visible flag of world.roverObjects (view ellipse, then
  // occlusion by visible boulders) and returns the indices of the visible
  // entries in list order. The rover list must name the rules' static
  // objects.
  const std::vector<std::size_t>& pass(const ViewEllipse& view, World& world, const WorldRules& rules);

  // The latest pass's visible entries, and the entries inside the ellipse
  // that a boulder hides (for records); both in list order.
  const std::vector<std::size_t>& visible() const { return visible_; }
  const std::vector<std::size_t>& occluded() const { return occluded_; }

 private:
  std::vector<std::size_t> visible_;
  std::vector<std::size_t> occluded_;
  std::vector<std::size_t> seenEntries_;  // the entries inside the ellipse, in list order
  std::vector<SightTarget> seen_;         // and what the viewer looks toward
  std::vector<char> hidden_;              // one per seen entry
  SightLines lines_;
};

}  // namespace rover
