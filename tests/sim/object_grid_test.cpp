// The grid's own promise, on random maps: a search visits every object
// whose circle comes within its reach, each once. That every search over
// the static objects answers as a walk would is static_objects_test's.

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "random_scenes.h"
#include "sim/object_grid.h"

namespace rover {
namespace {

using testing::Generator;
using testing::kInf;

double distanceToSegment(Vec2 c, Vec2 a, Vec2 b) {
  const Vec2 d = b - a;
  const double dd = dot(d, d);
  const double t = dd == 0.0 ? 0.0 : std::clamp(dot(c - a, d) / dd, 0.0, 1.0);
  return length(c - (a + d * t));
}

TEST(ObjectGrid, VisitsEveryObjectNearASearch) {
  Generator g(99);
  for (int round = 0; round < 250; ++round) {
    const double half = g.between(20.0, 400.0);
    const std::vector<WorldObject> objects = g.objects(half);
    const ObjectGrid grid(objects, g.chance(0.8) ? half : kInf);
    for (int q = 0; q < 40; ++q) {
      const Vec2 a = {g.between(-1.5, 1.5) * half, g.between(-1.5, 1.5) * half};
      const double angle = g.between(-kPi, kPi);
      const double extent = g.chance(0.1)   ? 0.0
                            : g.chance(0.5) ? g.between(0.0, 20.0)
                                            : g.between(0.0, 2.0) * half;
      const Vec2 b = a + Vec2{std::cos(angle), std::sin(angle)} * extent;
      const double reach = g.chance(0.2) ? 0.0 : g.between(0.0, 6.0);
      const bool segment = q % 2 == 0;
      const Vec2 lo = {std::fmin(a.x, b.x), std::fmin(a.y, b.y)};
      const Vec2 hi = {std::fmax(a.x, b.x), std::fmax(a.y, b.y)};
      std::vector<int> visits(objects.size(), 0);
      const auto count = [&](const ObjectGrid::Slot& slot) {
        ++visits[slot.index];
        return false;
      };
      if (segment) {
        grid.visitNearSegment(a, b, reach, count);
      } else {
        grid.visitNearBox(lo, hi, reach, count);
      }
      for (std::size_t i = 0; i < objects.size(); ++i) {
        ASSERT_LE(visits[i], 1) << "round " << round << " object " << i;
        const CircleObject& c = objects[i].circle;
        const Vec2 nearest = {std::clamp(c.center.x, lo.x, hi.x), std::clamp(c.center.y, lo.y, hi.y)};
        const double distance = segment ? distanceToSegment(c.center, a, b) : length(c.center - nearest);
        // NaN distances and radii: walked always.
        if (!(distance > reach + std::fabs(c.radius))) {
          ASSERT_EQ(visits[i], 1) << "round " << round << " search " << q << " object " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace rover
