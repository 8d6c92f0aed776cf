#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/geometry.h"
#include "sim/world_object.h"

namespace rover {

// The boulders that may hide something from one viewer in one sensing
// pass, indexed by the direction in which the viewer sees them. A sight
// line is cut by a boulder when it enters the boulder's circle at a
// distance s with 0 <= s < its limit (rayCircleEntry). Each boulder is
// filed in the bins of every direction whose sight line could come within
// its radius, widened far beyond the rounding of that test, so a sight line
// only needs the exact test against the boulders of its direction's bin:
// the answer is the walk's, bit for bit, at the cost of a few tests
// instead of one per boulder. Boulders the viewer is in or next to, or
// with numbers out of range, are tested for every sight line.
//
// StaticObjects::hides builds and asks it; it is storage that the query
// reuses from one pass to the next, so that a pass allocates nothing.
class SightLines {
 public:
  // Files the boulders among `objects` whose flag in `seen` is set, as a
  // viewer at `viewer` sees them.
  void build(Vec2 viewer, const std::vector<WorldObject>& objects, std::span<const char> seen);

  // Whether a filed boulder other than object `self` cuts the sight line
  // along v (toward a target, divided by its length) before `limit`. A
  // direction or limit that is not finite is tested against every boulder.
  bool cuts(Vec2 v, double limit, std::size_t self) const;

 private:
  struct Boulder {
    Vec2 center;
    double radius = 0.0;
    double near = 0.0;  // no sight line enters it closer than this
    std::uint32_t index = 0;
    double from = 0.0;  // the directions of its widened tangents (see directionOf)
    double to = 0.0;
  };

  bool cutBy(const Boulder& b, Vec2 v, double limit) const;
  std::uint32_t binOf(double direction) const;
  // Calls file(bin) for each bin that boulder b's directions reach.
  template <class File>
  void forEachBin(const Boulder& b, File&& file) const;
  void fileBoulders();

  Vec2 viewer_;
  std::vector<Boulder> filed_;   // filed in bins
  std::vector<Boulder> always_;  // tested for every sight line
  std::vector<std::uint32_t>
      binStart_;  // bin b holds filed_[binItems_[i]] for i in [binStart_[b], binStart_[b + 1])
  std::vector<std::uint32_t> binItems_;
  double binsPerUnit_ = 0.0;  // bins per unit of direction (directions span [0, 4])
};

}  // namespace rover
