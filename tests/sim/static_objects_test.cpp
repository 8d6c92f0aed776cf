// Every search over the static objects against the plain walk over their
// list (static_walk_oracle.h), bit for bit, on random maps: long ones that
// the grid searches, lists of fewer than eight objects that are walked, and
// inputs the grid must stand aside for (non-finite numbers, directions far
// from unit length).

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "random_scenes.h"
#include "sim/static_objects.h"
#include "static_walk_oracle.h"

namespace rover {
namespace {

using testing::Generator;
using testing::kInf;

bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool sameHit(const std::optional<Hit>& a, const std::optional<Hit>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (same(a->t, b->t) && same(a->center.x, b->center.x) && same(a->center.y, b->center.y) &&
                same(a->radius, b->radius));
}

std::string where(int round, const char* what, int query) {
  std::ostringstream text;
  text << "round " << round << ", " << what << " " << query;
  return text.str();
}

// A direction of unit length, or now and then one that is not.
Vec2 direction(Generator& g, double angle) {
  Vec2 v = {std::cos(angle), std::sin(angle)};
  if (g.chance(0.1)) v = v * g.wild();
  if (g.chance(0.05)) v = v * g.between(0.1, 3.0);
  return v;
}

// A point beyond the circle on a tangent to it from the viewer, moved by a
// few ulps: sight lines there graze the circle, and the exact test's
// rounding decides whether they cut it.
Vec2 along(Generator& g, Vec2 viewer, const CircleObject& circle) {
  const Vec2 w = circle.center - viewer;
  const double d = length(w);
  const double side = std::asin(std::fmin(1.0, std::fabs(circle.radius) / d)) * (g.chance(0.5) ? 1 : -1);
  const double angle = std::atan2(w.y, w.x) + side;
  Vec2 p = viewer + Vec2{std::cos(angle), std::sin(angle)} * (d * g.between(1.0, 4.0));
  for (int ulps = g.upTo(9) - 4; ulps != 0; ulps += ulps > 0 ? -1 : 1) {
    const double toward = ulps > 0 ? kInf : -kInf;
    p = g.chance(0.5) ? Vec2{std::nextafter(p.x, toward), p.y} : Vec2{p.x, std::nextafter(p.y, toward)};
  }
  return p;
}

std::vector<char> flags(Generator& g, std::size_t count, double p) {
  std::vector<char> out(count);
  for (char& flag : out) flag = g.chance(p);
  return out;
}

TEST(StaticObjects, EveryQueryAgreesWithTheListWalk) {
  Generator g(20240614);
  int walked = 0, searched = 0;
  int martianHits = 0, roverHits = 0, cleared = 0, aheadHits = 0, insides = 0, hidden = 0, degenerate = 0;
  int grazing = 0;
  for (int round = 0; round < 300; ++round) {
    const double half = g.chance(0.3) ? 10.0 : g.between(20.0, 400.0);
    const std::vector<WorldObject> objects = g.objects(half);
    const StaticObjects statics(objects, g.chance(0.8) ? half : kInf);
    SightLines lines;  // reused, as sensing reuses it
    ++(statics.grid() != nullptr ? searched : walked);
    for (int q = 0; q < 60; ++q) {
      MotionState mover = g.mover(half, objects);
      const StaticObjects::MartianContact contact = statics.martianContact(mover.position);
      const std::optional<std::size_t> martian = contact.object;
      ASSERT_EQ(martian, testing::walkMartianContact(objects, mover.position)) << where(round, "Martian", q);
      // Wherever the Martian goes within its clearance, it touches nothing.
      if (contact.clearance > 0) {
        ++cleared;
        const double angle = g.between(-kPi, kPi);
        const double step = contact.clearance * (g.chance(0.5) ? 1 - 1e-12 : g.unit());
        const Vec2 to = mover.position + Vec2{std::cos(angle), std::sin(angle)} * step;
        if (Clearance{mover.position, contact.clearance}.covers(to)) {
          ASSERT_EQ(testing::walkMartianContact(objects, to), std::nullopt) << where(round, "clearance", q);
        }
      }
      const std::vector<char> visible = flags(g, objects.size(), 0.7);
      const std::optional<std::size_t> rover = statics.roverContact(mover.position, visible);
      ASSERT_EQ(rover, testing::walkRoverContact(objects, mover.position, visible))
          << where(round, "rover", q);
      martianHits += martian.has_value();
      roverHits += rover.has_value();

      // Look-ahead, now and then along the x axis exactly toward an object.
      if (q % 3 == 0 && !objects.empty()) {
        mover.position = {g.pick(objects).circle.center.x - g.between(0.0, 20.0), 0.0};
        mover.direction = {1.0, 0.0};
        mover.speed = 5.0;
      }
      mover.direction = direction(g, std::atan2(mover.direction.y, mover.direction.x));
      const double uu = dot(mover.direction, mover.direction);
      degenerate += !(uu >= 0.25 && uu <= 4.0);
      const std::optional<Hit> ahead = statics.lookAhead(mover);
      ASSERT_TRUE(sameHit(ahead, testing::walkLookAhead(objects, mover))) << where(round, "look-ahead", q);
      aheadHits += ahead.has_value();

      // The view ellipse of a random rover.
      const ViewEllipse view = makeViewEllipse(g.params());
      const double hr = mover.heading * view.degToRad;
      const Vec2 e = mover.position + mover.direction * view.offset;
      std::vector<char> inside(objects.size(), 2);
      statics.sense(view, e, std::cos(hr), std::sin(hr), inside);
      ASSERT_EQ(inside, testing::walkSense(objects, view, e, std::cos(hr), std::sin(hr)))
          << where(round, "sensing", q);
      for (const char flag : inside) insides += flag;

      // Sight lines toward objects, Martians somewhere, and along a seen
      // boulder's edge (its tangent, moved a few ulps), with the boulders
      // inside the ellipse or random ones as the seen.
      const std::vector<char> seen = g.chance(0.5) ? inside : flags(g, objects.size(), 0.5);
      std::vector<SightTarget> targets;
      for (int t = 0; t < 12; ++t) {
        const double roll = g.unit();
        if (objects.empty() || roll < 0.2) {
          targets.push_back({{g.mover(half, objects).position, g.radius(0.4)}, objects.size()});
        } else if (roll < 0.6) {
          const auto k = static_cast<std::size_t>(g.upTo(static_cast<int>(objects.size())));
          targets.push_back({objects[k].circle, k});
        } else {
          const CircleObject edge = g.pick(objects).circle;
          targets.push_back({{along(g, mover.position, edge), g.between(0.0, 0.5)}, objects.size()});
          ++grazing;
        }
      }
      std::vector<char> hides(1, 2);
      statics.hides(mover.position, targets, seen, lines, hides);
      ASSERT_EQ(hides, testing::walkHidden(objects, mover.position, targets, seen))
          << where(round, "occlusion", q);
      for (const char flag : hides) hidden += flag;
    }
  }
  // The generator reached what the comparisons are for.
  EXPECT_GE(walked, 40);
  EXPECT_GE(searched, 200);
  EXPECT_GE(martianHits, 1000);
  EXPECT_GE(cleared, 3000);
  EXPECT_GE(roverHits, 1000);
  EXPECT_GE(aheadHits, 3000);
  EXPECT_GE(insides, 20000);
  EXPECT_GE(hidden, 3000);
  EXPECT_GE(grazing, 30000);
  EXPECT_GE(degenerate, 1000);
}

}  // namespace
}  // namespace rover
