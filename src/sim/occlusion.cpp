#include "sim/occlusion.h"

#include <cmath>
#include <limits>

namespace rover {

std::vector<std::size_t> visibleAfterOcclusion(Vec2 viewer, const std::vector<SensedCircle>& seen,
                                               const RoverObjects& list, const StaticObjects& statics) {
  const std::size_t firstStatic = list.staticEntry(0);
  std::vector<std::size_t> visible;
  for (const SensedCircle& target : seen) {
    const Vec2 toTarget = target.circle.center - viewer;
    const double distance = length(toTarget);
    const double limit = distance - target.circle.radius;
    // Only a near edge strictly ahead of the viewer can be cut off (this also
    // keeps a target centred on the viewer, which has no direction).
    bool hidden = false;
    if (limit > 0) {
      const Vec2 v = {toTarget.x / distance, toTarget.y / distance};
      // A Martian's entry is no static object: every seen boulder may hide it.
      const std::size_t self =
          target.entry >= firstStatic ? target.entry - firstStatic : std::numeric_limits<std::size_t>::max();
      hidden = statics.hides(viewer, v, limit, list.staticFlags(), self);
    }
    if (!hidden) visible.push_back(target.entry);
  }
  return visible;
}

}  // namespace rover
