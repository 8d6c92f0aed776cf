#pragma once

#include <cstddef>
#include <vector>

#include "sim/object_grid.h"
#include "sim/world.h"

namespace rover {

// An entry of the rover's object list that lies inside the view ellipse,
// with the circle it is sensed as.
struct SensedCircle {
  std::size_t entry = 0;
  CircleObject circle;
  bool boulder = false;
};

// The entries of `seen` (given in list order) that no seen boulder hides
// from a viewer at `viewer`, in the same order. A boulder hides an entry when
// the sight line from the viewer toward the entry's centre enters the
// boulder at a distance s >= 0 short of the entry's near edge.
std::vector<std::size_t> visibleAfterOcclusion(Vec2 viewer, const std::vector<SensedCircle>& seen);

// The same answer for a pass whose list holds the objects `grid` was built
// over from entry `firstStatic` on: each target asks the grid only for the
// boulders near its sight line. Seen boulders outside that range (a run's
// list has none) are tried for every target.
std::vector<std::size_t> visibleAfterOcclusion(Vec2 viewer, const std::vector<SensedCircle>& seen,
                                               const ObjectGrid& grid, std::size_t firstStatic);

}  // namespace rover
