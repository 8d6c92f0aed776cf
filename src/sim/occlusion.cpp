#include "sim/occlusion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace rover {

namespace {

struct Occluder {
  double nearDistance;  // from the viewer to the boulder's rim; a lower bound of any hit distance
  Vec2 center;
  double radius;
  std::size_t entry;
};

}  // namespace

std::vector<std::size_t> visibleAfterOcclusion(Vec2 viewer, const std::vector<SensedCircle>& seen) {
  std::vector<Occluder> occluders;
  double largestRadius = 0.0;
  for (const SensedCircle& s : seen) {
    if (!s.boulder) continue;
    // The sight line meets the circle of |r| (the map may hold a negative
    // radius), so that is the rim the bound must use.
    const double radius = std::fabs(s.circle.radius);
    double nearDistance = length(s.circle.center - viewer) - radius;
    // Unordered values would break the sort; testing them first is always safe.
    if (std::isnan(nearDistance)) nearDistance = -std::numeric_limits<double>::infinity();
    occluders.push_back({nearDistance, s.circle.center, s.circle.radius, s.entry});
    largestRadius = std::max(largestRadius, radius);
  }
  // Nearest rim first: a boulder whose rim lies beyond the target's near edge
  // cannot cut the sight line, so the walk below stops there.
  std::sort(occluders.begin(), occluders.end(),
            [](const Occluder& a, const Occluder& b) { return a.nearDistance < b.nearDistance; });

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
      // Rounding slack for the pruning only; the decision itself is exact.
      const double cutoff = limit + 1e-6 * (1.0 + limit + largestRadius);
      for (const Occluder& k : occluders) {
        if (k.nearDistance > cutoff) break;
        if (k.entry == target.entry) continue;
        const double s = rayCircleEntry(viewer, v, 1.0, k.center, k.radius);
        if (s >= 0 && s < limit) {
          hidden = true;
          break;
        }
      }
    }
    if (!hidden) visible.push_back(target.entry);
  }
  return visible;
}

std::vector<std::size_t> visibleAfterOcclusion(Vec2 viewer, const std::vector<SensedCircle>& seen,
                                               const ObjectGrid& grid, std::size_t firstStatic) {
  // Which of the grid's objects are seen boulders, the only ones that hide.
  std::vector<char> occluder(grid.objectCount(), 0);
  std::vector<SensedCircle> others;
  for (const SensedCircle& s : seen) {
    if (!s.boulder) continue;
    if (s.entry >= firstStatic && s.entry - firstStatic < occluder.size()) {
      occluder[s.entry - firstStatic] = 1;
    } else {
      others.push_back(s);
    }
  }

  std::vector<std::size_t> visible;
  for (const SensedCircle& target : seen) {
    const Vec2 toTarget = target.circle.center - viewer;
    const double distance = length(toTarget);
    const double limit = distance - target.circle.radius;
    // As above: only a near edge strictly ahead of the viewer can be cut off.
    bool hidden = false;
    if (limit > 0) {
      const Vec2 v = {toTarget.x / distance, toTarget.y / distance};
      const auto hides = [&](Vec2 center, double radius, std::size_t entry) {
        if (entry == target.entry) return false;
        const double s = rayCircleEntry(viewer, v, 1.0, center, radius);
        return s >= 0 && s < limit;
      };
      for (const SensedCircle& k : others) {
        if (hides(k.circle.center, k.circle.radius, k.entry)) {
          hidden = true;
          break;
        }
      }
      const auto visit = [&](const ObjectGrid::Slot& slot) {
        return occluder[slot.index] != 0 && hides(slot.center, slot.radius, firstStatic + slot.index);
      };
      // The grid's rounding allowance holds for a sight line of about unit
      // direction; one that over- or underflowed tries every boulder.
      const double vv = dot(v, v);
      if (!hidden) {
        hidden = (vv >= 0.25 && vv <= 4.0) ? grid.visitNearSegment(viewer, viewer + v * limit, 0.0, visit)
                                           : grid.visitAll(visit);
      }
    }
    if (!hidden) visible.push_back(target.entry);
  }
  return visible;
}

}  // namespace rover
