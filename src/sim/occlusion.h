#pragma once

#include <cstddef>
#include <vector>

#include "sim/rover_objects.h"
#include "sim/static_objects.h"

namespace rover {

// An entry of the rover's object list that lies inside the view ellipse,
// with the circle it is sensed as.
struct SensedCircle {
  std::size_t entry = 0;
  CircleObject circle;
};

// The entries of `seen` (given in list order) that no seen boulder hides
// from a viewer at `viewer`, in the same order. A boulder hides an entry when
// the sight line from the viewer toward the entry's centre enters the
// boulder at a distance s >= 0 short of the entry's near edge. The seen
// boulders are the static entries of `list` whose flag is set.
std::vector<std::size_t> visibleAfterOcclusion(Vec2 viewer, const std::vector<SensedCircle>& seen,
                                               const RoverObjects& list, const StaticObjects& statics);

}  // namespace rover
