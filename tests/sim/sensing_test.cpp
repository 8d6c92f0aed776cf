#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "sim/sensing.h"
#include "sim_fixtures.h"

namespace rover {
namespace {

using testing::boulder;
using testing::crater;
using testing::home;
using testing::martianAt;
using testing::moverAt;
using testing::roverListFor;
using testing::rulesWith;

VehicleParams viewParams(double front, double rear) {
  VehicleParams p = testing::roverParams();
  p.frontView = front;
  p.rearView = rear;
  return p;
}

// A world and the rules of its static objects, as a run starts them.
struct Scene {
  WorldRules rules;
  World world;

  Sensing sensing;

  std::vector<std::size_t> sense(const ViewEllipse& view) { return sensing.pass(view, world, rules); }
};

Scene worldSeeing(const MotionState& rover, const std::vector<WorldObject>& objects,
                  std::vector<Martian> martians = {}) {
  Scene scene;
  scene.rules = testing::rulesWith(objects);
  scene.world.rover = rover;
  scene.world.martians = std::move(martians);
  scene.world.roverObjects = roverListFor(scene.world.martians, scene.rules, false);
  return scene;
}

bool seesOnly(double front, double rear, const MotionState& rover, const WorldObject& object) {
  Scene scene = worldSeeing(rover, {object});
  const std::vector<std::size_t> visible = scene.sense(makeViewEllipse(viewParams(front, rear)));
  EXPECT_EQ(scene.world.roverObjects[0].visible, !visible.empty());
  return !visible.empty();
}

TEST(ViewEllipse, FocusAtTheRover) {
  const ViewEllipse v = makeViewEllipse(viewParams(30.0, 10.0));
  EXPECT_EQ(v.offset, 10.0);
  EXPECT_EQ(v.major, 20.0);
  EXPECT_EQ(v.minor, std::sqrt(300.0));
  const ViewEllipse circle = makeViewEllipse(viewParams(12.5, 12.5));
  EXPECT_EQ(circle.offset, 0.0);
  EXPECT_EQ(circle.major, 12.5);
  EXPECT_EQ(circle.minor, 12.5);
}

TEST(SensePass, EqualViewsGiveACircle) {
  // A boulder of radius 1 whose near edge is 10 away is seen in every direction.
  for (double angle = -180.0; angle < 180.0; angle += 22.5) {
    const double a = angle * kPi / 180;
    for (const auto& [distance, seen] : {std::pair{10.9, true}, {11.0, true}, {11.001, false}}) {
      const WorldObject rock = boulder(3.0 + distance * std::cos(a), -2.0 + distance * std::sin(a), 1.0);
      EXPECT_EQ(seesOnly(10.0, 10.0, moverAt(3.0, -2.0, 37.0), rock), seen) << angle << " " << distance;
    }
  }
}

TEST(SensePass, AheadBehindAndAbeamBoundaries) {
  // Rover at (5, 5) heading +y with frontView 30, rearView 10: ellipse centre
  // 10 ahead, minor semi-axis sqrt(300) = 17.32...
  const MotionState rover = moverAt(5.0, 5.0, 90.0);
  struct Case {
    const char* where;
    double x, y;
    bool seen;
  };
  const double minor = std::sqrt(300.0);
  const Case cases[] = {
      {"ahead, edge at 29.99", 5.0, 5.0 + 30.99, true},
      {"ahead, edge at 30.01", 5.0, 5.0 + 31.01, false},
      {"behind, edge at 9.99", 5.0, 5.0 - 10.99, true},
      {"behind, edge at 10.01", 5.0, 5.0 - 11.01, false},
      {"abeam left of the centre", 5.0 - (minor + 0.99), 15.0, true},
      {"abeam left, just out", 5.0 - (minor + 1.01), 15.0, false},
      {"abeam right of the centre", 5.0 + (minor + 0.99), 15.0, true},
      {"abeam of the rover itself", 5.0 + 15.0, 5.0, true},  // inside: x^2/400 + y^2/300 < 1 for (10, 15)
      {"diagonal, outside", 5.0 + 16.0, 15.0 + 12.0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(seesOnly(30.0, 10.0, rover, boulder(c.x, c.y, 1.0)), c.seen) << c.where;
  }
}

TEST(SensePass, CircleAroundTheEllipseCentreIsSeen) {
  // A tiny view inside a big crater: the crater's rim is far away, but it
  // contains the ellipse centre.
  EXPECT_TRUE(seesOnly(0.1, 0.1, moverAt(40.0, 0.0), crater(0.0, 0.0, 50.0)));
  EXPECT_FALSE(seesOnly(0.1, 0.1, moverAt(60.0, 0.0), crater(0.0, 0.0, 50.0)));
}

TEST(SensePass, HomeAndMartiansUseTheirOwnCircles) {
  // Home is radius 5 at the origin.
  EXPECT_TRUE(seesOnly(10.0, 10.0, moverAt(14.9, 0.0), homeObject()));
  EXPECT_FALSE(seesOnly(10.0, 10.0, moverAt(15.1, 0.0), homeObject()));

  // A Martian is a circle of radius 0.4 at its current position.
  for (const auto& [x, seen] : {std::pair{10.39, true}, {10.41, false}}) {
    Scene scene = worldSeeing(moverAt(0.0, 0.0), {}, {martianAt(7, x, 0.0)});
    scene.sense(makeViewEllipse(viewParams(10.0, 10.0)));
    EXPECT_EQ(scene.world.roverObjects[0].visible, seen) << x;
  }
}

TEST(SensePass, FlagsFollowTheLatestPass) {
  const ViewEllipse view = makeViewEllipse(viewParams(10.0, 10.0));
  Scene scene = worldSeeing(moverAt(0.0, 0.0), {crater(5.0, 0.0, 1.0), boulder(-50.0, 0.0, 1.0)});
  EXPECT_EQ(scene.sense(view), (std::vector<std::size_t>{0}));
  EXPECT_TRUE(scene.world.roverObjects[0].visible);
  scene.world.rover = moverAt(-45.0, 0.0);
  EXPECT_EQ(scene.sense(view), (std::vector<std::size_t>{1}));
  EXPECT_FALSE(scene.world.roverObjects[0].visible);
  EXPECT_TRUE(scene.world.roverObjects[1].visible);
}

TEST(SensePass, ReturnsVisibleEntriesInListOrder) {
  const ViewEllipse view = makeViewEllipse(viewParams(30.0, 30.0));
  Scene scene = worldSeeing(moverAt(0.0, 10.0), {home(), crater(0.0, 100.0, 1.0), crater(5.0, 20.0, 1.0)},
                            {martianAt(0, -3.0, 12.0), martianAt(4, 90.0, 0.0)});
  EXPECT_EQ(scene.sense(view), (std::vector<std::size_t>{0, 2, 4}));
}

struct OcclusionCase {
  const char* name;
  std::vector<WorldObject> objects;  // all well inside a wide view
  std::vector<std::size_t> visible;
};

TEST(SensePass, Occlusion) {
  // Rover at the origin looking along +x with a 100-unit view all round.
  const OcclusionCase cases[] = {
      {"crater behind a boulder", {boulder(10, 0, 1), crater(20, 0, 1)}, {0}},
      {"crater beside the boulder's shadow", {boulder(10, 0, 1), crater(20, 5, 1)}, {0, 1}},
      {"crater in front of the boulder", {crater(5, 0, 1), boulder(10, 0, 1)}, {0, 1}},
      {"craters do not hide", {crater(10, 0, 1), crater(20, 0, 1)}, {0, 1}},
      {"boulder behind a boulder", {boulder(10, 0, 1), boulder(20, 0, 1)}, {0}},
      // The sight line enters the boulder at s = 9; a near edge at exactly 9 stays seen...
      {"near edge level with the hit", {boulder(10, 0, 1), crater(12, 0, 3)}, {0, 1}},
      // ...one at 9.1 is cut off, even though its radius (2.9) is far below s.
      {"near edge just past the hit", {boulder(10, 0, 1), crater(12, 0, 2.9)}, {0}},
      // A boulder hidden by another still hides what lies behind it.
      {"hidden boulder still hides", {boulder(10, 0, 0.3), boulder(20, 0.2, 1), crater(30, 1.5, 0.5)}, {0}},
      {"only the near boulder hides", {boulder(10, 0, 0.3), crater(30, 1.5, 0.5)}, {0, 1}},
      // Something centred on the rover has no direction and is never hidden.
      {"object around the rover", {boulder(3, 0, 1), crater(0, 0, 2)}, {0, 1}},
      // A boulder the rover stands in does not hide what lies beyond.
      {"boulder around the rover", {boulder(1, 0, 2), crater(20, 0, 1)}, {0, 1}},
      // Radii are stored as given; the sight line meets the circle of |r|, so
      // a boulder with r = -3 at 18 cuts it at 15, short of the crater at 19.
      {"boulder with a negative radius", {boulder(18, 0, -3), crater(20, 0, 1)}, {0}},
  };
  const ViewEllipse view = makeViewEllipse(viewParams(100.0, 100.0));
  for (const OcclusionCase& c : cases) {
    Scene scene = worldSeeing(moverAt(0.0, 0.0), c.objects);
    EXPECT_EQ(scene.sense(view), c.visible) << c.name;
    for (std::size_t i = 0; i < c.objects.size(); ++i) {
      const bool listed = std::find(c.visible.begin(), c.visible.end(), i) != c.visible.end();
      EXPECT_EQ(scene.world.roverObjects[i].visible, listed) << c.name << " entry " << i;
    }
  }
}

// An entry inside the view, as the brute force below takes it.
struct Seen {
  std::size_t entry;
  CircleObject circle;
  bool boulder;
};

// Every pair tested, no search structure: what the pass must agree with.
std::vector<std::size_t> bruteForceOcclusion(Vec2 p, const std::vector<Seen>& seen) {
  std::vector<std::size_t> out;
  for (const Seen& o : seen) {
    const Vec2 d = o.circle.center - p;
    const double dist = length(d);
    bool hidden = false;
    if (dist != 0.0) {
      const Vec2 v = {d.x / dist, d.y / dist};
      for (const Seen& k : seen) {
        if (!k.boulder || k.entry == o.entry) continue;
        const Vec2 w = p - k.circle.center;
        const double b = 2 * dot(v, w);
        const double c = dot(w, w) - k.circle.radius * k.circle.radius;
        const double disc = b * b - 4 * c;
        if (disc < 0) continue;
        const double s = (-b - std::sqrt(disc)) / 2;
        if (s >= 0 && s < dist - o.circle.radius) hidden = true;
      }
    }
    if (!hidden) out.push_back(o.entry);
  }
  return out;
}

// Crowds of circles all inside a wide view, Martians among them: the pass
// (through the static objects' grid, or their walk for a few) against every
// pair.
TEST(Occlusion, SensePassAgreesWithEveryPair) {
  std::mt19937_64 gen(12345);
  std::uniform_real_distribution<double> coord(-60.0, 60.0);
  std::uniform_real_distribution<double> radius(0.0, 4.0);
  std::uniform_int_distribution<int> kind(0, 3);
  const ViewEllipse view = makeViewEllipse(viewParams(1000.0, 1000.0));
  for (int round = 0; round < 40; ++round) {
    std::vector<WorldObject> objects;
    const int count = round % 5 == 0 ? round % 7 : 50 + round * 5;
    for (int i = 0; i < count; ++i) {
      // Some circles share centres and radii, some touch the viewer.
      double r = (i % 17 == 0) ? 0.0 : radius(gen);
      if (i % 13 == 0) r = -r;  // the map may hold negative radii
      Vec2 c = {coord(gen), coord(gen)};
      if (i % 23 == 0) c = {r, 0.0};
      objects.push_back(kind(gen) != 0 ? boulder(c.x, c.y, r) : crater(c.x, c.y, r));
    }
    std::vector<Martian> martians;
    for (int i = 0; i < round % 4; ++i) martians.push_back(martianAt(i, coord(gen), coord(gen)));
    const Vec2 viewer = {coord(gen) * 0.1, coord(gen) * 0.1};
    Scene scene = worldSeeing(moverAt(viewer.x, viewer.y, coord(gen)), objects, martians);
    std::vector<Seen> seen;
    for (std::size_t i = 0; i < martians.size(); ++i)
      seen.push_back({i, {martians[i].motion.position, 0.4}, false});
    for (std::size_t k = 0; k < objects.size(); ++k) {
      seen.push_back({martians.size() + k, objects[k].circle, objects[k].kind == ObjectKind::Boulder});
    }
    EXPECT_EQ(scene.sense(view), bruteForceOcclusion(viewer, seen)) << "round " << round;
  }
}

}  // namespace
}  // namespace rover
