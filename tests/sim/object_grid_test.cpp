// The grid-backed searches against the literal walks they replace, on random
// maps and states: both must give the same answers bit for bit.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "sim/martian.h"
#include "sim/object_grid.h"
#include "sim/sensing.h"
#include "sim/steering.h"
#include "sim/world_step.h"
#include "sim_fixtures.h"

namespace rover {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool same(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
bool same(Vec2 a, Vec2 b) {
  return same(a.x, b.x) && same(a.y, b.y);
}
bool same(const MotionState& a, const MotionState& b) {
  return same(a.speed, b.speed) && same(a.rotation, b.rotation) && same(a.heading, b.heading) &&
         same(a.position, b.position) && same(a.direction, b.direction);
}

// The first difference between two worlds, or "" when they agree bit for bit.
std::string difference(const World& a, const World& b) {
  if (!same(a.rover, b.rover)) return "rover motion";
  if (a.roverControl.turn != b.roverControl.turn || a.roverControl.accel != b.roverControl.accel) {
    return "rover control";
  }
  if (a.martians.size() != b.martians.size()) return "Martian count";
  for (std::size_t i = 0; i < a.martians.size(); ++i) {
    const Martian& m = a.martians[i];
    const Martian& n = b.martians[i];
    if (m.index != n.index || !same(m.motion, n.motion) || !same(m.wanderAngle, n.wanderAngle) ||
        m.control.turn != n.control.turn || m.control.accel != n.control.accel) {
      return "Martian " + std::to_string(m.index);
    }
  }
  if (a.roverObjects.size() != b.roverObjects.size()) return "rover list length";
  for (std::size_t i = 0; i < a.roverObjects.size(); ++i) {
    const RoverObject& o = a.roverObjects[i];
    const RoverObject& p = b.roverObjects[i];
    if (o.visible != p.visible || o.object.kind != p.object.kind || o.object.id != p.object.id) {
      return "rover list entry " + std::to_string(i);
    }
  }
  return "";
}

bool sameResult(const StepResult& a, const StepResult& b) {
  if (a.event != b.event || a.outcome != b.outcome || a.contact.has_value() != b.contact.has_value())
    return false;
  if (a.contact && (a.contact->wall != b.contact->wall || a.contact->kind != b.contact->kind ||
                    a.contact->id != b.contact->id)) {
    return false;
  }
  if (a.lost.size() != b.lost.size()) return false;
  for (std::size_t i = 0; i < a.lost.size(); ++i) {
    if (a.lost[i].index != b.lost[i].index || a.lost[i].craterId != b.lost[i].craterId ||
        !same(a.lost[i].position, b.lost[i].position)) {
      return false;
    }
  }
  return true;
}

bool sameHit(const std::optional<Hit>& a, const std::optional<Hit>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (same(a->t, b->t) && same(a->center, b->center) && same(a->radius, b->radius));
}

// Random maps and states with what a map may hold and a run may reach:
// objects off the terrain, coincident centres and exact duplicates, mirror
// images (equal ray distances), radii that are zero, negative, huge,
// infinite or NaN, movers on object centres, far away or at NaN.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : gen_(seed) {}

  double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(gen_); }
  double between(double a, double b) { return a + (b - a) * unit(); }
  bool chance(double p) { return unit() < p; }
  int upTo(int n) { return static_cast<int>(unit() * n); }

  double wild() {
    const double values[] = {kNaN, kInf, -kInf, 1e300, -1e300, 1e15, -1e9, 1e-300, 0.0, -0.0};
    return values[upTo(10)];
  }

  const WorldObject& pick(const std::vector<WorldObject>& list) {
    return list[static_cast<std::size_t>(upTo(static_cast<int>(list.size())))];
  }

  Vec2 place(double half, const std::vector<WorldObject>& earlier) {
    const double roll = unit();
    if (roll < 0.1 && !earlier.empty()) return pick(earlier).circle.center;
    if (roll < 0.15) return {wild(), chance(0.5) ? wild() : between(-half, half)};
    if (roll < 0.25) return {between(-1e3, 1e3) * half, between(-1e3, 1e3) * half};  // far off the terrain
    if (roll < 0.3) return {std::round(between(-half, half)), 0.0};                  // on an axis
    return {between(-1.2, 1.2) * half, between(-1.2, 1.2) * half};
  }

  double radius(double typical) {
    const double roll = unit();
    if (roll < 0.05) return 0.0;
    if (roll < 0.1) return -between(0.0, typical);
    if (roll < 0.13) return between(10.0, 1000.0) * typical;
    if (roll < 0.16) return wild();
    return between(0.0, typical);
  }

  std::vector<WorldObject> objects(double half) {
    std::vector<WorldObject> list;
    if (chance(0.9)) list.push_back(homeObject());
    const int count = chance(0.2) ? upTo(8) : upTo(300);
    const double typical = chance(0.5) ? 3.0 : half * between(0.01, 0.3);
    for (int i = 0; i < count; ++i) {
      WorldObject object;
      object.kind = chance(0.4) ? ObjectKind::Crater : ObjectKind::Boulder;
      if (chance(0.03)) object.kind = ObjectKind::Home;
      object.circle = {place(half, list), radius(typical)};
      if (!list.empty() && chance(0.1)) {
        // An exact duplicate, or a mirror image across an axis.
        object.circle = pick(list).circle;
        if (chance(0.5)) object.circle.center.y = -object.circle.center.y;
        if (chance(0.3)) object.circle.center.x = -object.circle.center.x;
      }
      object.id = static_cast<int>(list.size());
      list.push_back(object);
      if (chance(0.05)) {
        // Its mirror image across the x axis, which it overlaps: equal
        // distances along that axis, the later object often in a cell
        // searched first.
        object.circle.center.y = -std::fabs(object.circle.radius) * between(0.1, 0.9);
        list.back().circle.center.y = -object.circle.center.y;
        object.id = static_cast<int>(list.size());
        list.push_back(object);
      }
    }
    return list;
  }

  MotionState mover(double half, const std::vector<WorldObject>& objects) {
    Vec2 p = {between(-half, half), between(-half, half)};
    const double roll = unit();
    if (roll < 0.15 && !objects.empty()) p = pick(objects).circle.center;
    if (roll > 0.97) p = {wild(), between(-half, half)};
    const double headings[] = {0.0, 90.0, 180.0, -90.0};
    const double heading = chance(0.3) ? headings[upTo(4)] : between(-180.0, 180.0);
    double speed = between(0.0, 5.0);
    if (chance(0.1)) speed = 0.0;
    if (chance(0.05)) speed = between(1.0, 100.0) * half;  // a look-ahead across the map
    if (chance(0.02)) speed = wild();
    return startMotionState(p.x, p.y, heading, std::fabs(speed));
  }

  VehicleParams params() {
    VehicleParams p = testing::roverParams();
    p.maxSpeed = between(0.5, 8.0);
    const double roll = unit();
    p.frontView = between(5.0, 60.0);
    p.rearView = between(0.0, p.frontView);
    if (roll < 0.15) p.frontView = between(100.0, 3000.0);  // sees most of the map
    if (roll > 0.95) p.frontView = wild();
    if (roll > 0.9 && roll <= 0.95) p.rearView = -between(0.0, 10.0);
    return p;
  }

 private:
  std::mt19937_64 gen_;
};

struct Scene {
  WorldRules literal;  // no grid: the walks over the whole list
  WorldRules indexed;
  World world;
  ViewEllipse view;
  SteerConstants steer;
};

Scene makeScene(Generator& g) {
  Scene scene;
  const double half = g.chance(0.3) ? 10.0 : g.between(20.0, 400.0);
  const std::vector<WorldObject> objects = g.objects(half);
  const VehicleParams roverParams = g.params();
  const VehicleParams martianParams = g.params();
  scene.literal = testing::rulesWith(objects, half - kWallInset);
  scene.literal.roverModel = makeMotionModel(roverParams);
  scene.literal.martianModel = makeMotionModel(martianParams);
  scene.indexed = scene.literal;
  scene.indexed.grid = std::make_shared<const ObjectGrid>(objects, g.chance(0.8) ? half : kInf);
  scene.view = makeViewEllipse(roverParams);
  scene.steer = makeSteerConstants(martianParams);

  World& world = scene.world;
  world.rover = g.mover(half, objects);
  world.roverControl = {g.upTo(5) - 2, g.upTo(3) - 1};
  const int martians = g.chance(0.3) ? 0 : g.upTo(25);
  for (int i = 0; i < martians; ++i) {
    Martian m;
    m.index = i;
    m.view = g.between(0.0, 20.0);
    m.motion = g.mover(half, objects);
    m.control = {g.upTo(5) - 2, g.upTo(3) - 1};
    m.wanderAngle = g.between(-90.0, 90.0);
    world.martians.push_back(m);
  }
  world.roverObjects = testing::roverListFor(world.martians, objects, false);
  for (RoverObject& entry : world.roverObjects) entry.visible = g.chance(0.5);
  // A list of another layout than a run's: the grid must stand aside.
  if (g.chance(0.03)) world.roverObjects.push_back({testing::boulder(1.0, 1.0, 1.0), true});
  return scene;
}

std::string describe(int round, const char* what, int detail = -1) {
  std::ostringstream text;
  text << "round " << round << ": " << what;
  if (detail >= 0) text << " " << detail;
  return text.str();
}

TEST(ObjectGrid, EverySearchAgreesWithTheLiteralWalk) {
  Generator g(20240614);
  int indexedScenes = 0;
  int manyCells = 0;
  int alwaysWalked = 0;
  int hits = 0;
  int contacts = 0;
  int hidden = 0;
  for (int round = 0; round < 300; ++round) {
    Scene scene = makeScene(g);
    const ObjectGrid& grid = *scene.indexed.grid;
    if (usableGrid(scene.indexed) != nullptr && grid.firstStaticEntry(scene.world.roverObjects))
      ++indexedScenes;
    if (grid.cellCount() >= 16) ++manyCells;
    if (grid.alwaysWalkedCount() > 0) ++alwaysWalked;

    // Look-ahead from many places, aimed at objects and at random.
    const double half = scene.literal.wallBound + kWallInset;
    for (int q = 0; q < 60; ++q) {
      MotionState state = g.mover(half, scene.literal.objects);
      if (q % 3 == 0 && !scene.literal.objects.empty()) {
        // Along the x axis exactly, toward an object.
        const double x = g.pick(scene.literal.objects).circle.center.x;
        state.position = {x - g.between(0.0, 20.0), 0.0};
        state.direction = {1.0, 0.0};
        state.speed = 5.0;
      }
      if (q % 7 == 0) state.direction = state.direction * g.wild();  // not of unit length
      const std::optional<Hit> literal = lookAhead(scene.literal.objects, state);
      ASSERT_TRUE(sameHit(literal, lookAhead(scene.indexed, state))) << describe(round, "look-ahead", q);
      if (literal) ++hits;
    }

    // One sensing pass from the start.
    {
      World a = scene.world;
      World b = scene.world;
      std::vector<std::size_t> occludedA{99};
      std::vector<std::size_t> occludedB;
      const std::vector<std::size_t> seenA = sensePass(scene.view, a, &occludedA);
      const std::vector<std::size_t> seenB = sensePass(scene.view, b, scene.indexed, &occludedB);
      ASSERT_EQ(seenA, seenB) << describe(round, "visible list");
      ASSERT_EQ(occludedA, occludedB) << describe(round, "occluded list");
      ASSERT_EQ(difference(a, b), "") << describe(round, "sensing");
      hidden += static_cast<int>(occludedA.size());
    }

    // A short run of both worlds, as the game drives it: sensing, Martian
    // decisions and physics steps.
    World a = scene.world;
    World b = scene.world;
    Random randomA(static_cast<std::uint64_t>(round), 9);
    Random randomB(static_cast<std::uint64_t>(round), 9);
    for (int tick = 0; tick < 40; ++tick) {
      if (tick % 10 == 9) {
        ASSERT_EQ(sensePass(scene.view, a), sensePass(scene.view, b, scene.indexed))
            << describe(round, "tick", tick);
      }
      if (tick % 5 == 0) {
        for (Martian& m : a.martians) decideMartian(m, a.rover, scene.literal.objects, scene.steer, randomA);
        for (Martian& m : b.martians) decideMartian(m, b.rover, scene.indexed, scene.steer, randomB);
      }
      const StepResult ra = worldStep(a, scene.literal, 0.01);
      const StepResult rb = worldStep(b, scene.indexed, 0.01);
      ASSERT_TRUE(sameResult(ra, rb)) << describe(round, "step result at tick", tick);
      ASSERT_EQ(difference(a, b), "") << describe(round, "world at tick", tick);
      contacts += static_cast<int>(ra.lost.size()) + (ra.event ? 1 : 0);
      if (ra.outcome) break;
    }
  }
  // Martian entries have no fixed place: a list holding one is never indexed.
  const std::vector<WorldObject> mixed = {homeObject(), {ObjectKind::MartianObj, {}, 0}};
  EXPECT_FALSE(ObjectGrid(mixed).covers(mixed));
  // The generator reached what the comparisons are for.
  EXPECT_GE(indexedScenes, 200);
  EXPECT_GE(manyCells, 200);
  EXPECT_GE(alwaysWalked, 180);
  EXPECT_GE(hits, 4000);
  EXPECT_GE(contacts, 2000);
  EXPECT_GE(hidden, 3000);
}

double distanceToSegment(Vec2 c, Vec2 a, Vec2 b) {
  const Vec2 d = b - a;
  const double dd = dot(d, d);
  const double t = dd == 0.0 ? 0.0 : std::clamp(dot(c - a, d) / dd, 0.0, 1.0);
  return length(c - (a + d * t));
}

// The grid's own promise, checked directly: a search visits every object
// whose circle comes within its reach of the box or segment, each once.
TEST(ObjectGrid, VisitsEveryObjectNearASearch) {
  Generator g(99);
  for (int round = 0; round < 250; ++round) {
    const double half = g.between(20.0, 400.0);
    const std::vector<WorldObject> objects = g.objects(half);
    const ObjectGrid grid(objects, g.chance(0.8) ? half : kInf);
    for (int q = 0; q < 40; ++q) {
      const Vec2 a = {g.between(-1.5, 1.5) * half, g.between(-1.5, 1.5) * half};
      const double angle = g.between(-kPi, kPi);
      const double extent = g.chance(0.1) ? 0.0 : g.between(0.0, 2.0) * half;
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
