#include <gtest/gtest.h>

#include <cmath>

#include "autopilot.h"
#include "cost_grid.h"
#include "path_search.h"
#include "world_memory.h"

namespace rover::pilot {
namespace {

InitMessage plainInit(double size = 100.0) {
  InitMessage init;
  init.sizeX = init.sizeY = size;
  init.timeLimitMs = 30000;
  init.rearView = 5.0;
  init.frontView = 30.0;
  init.maxSpeed = 10.0;
  init.turn = 20.0;
  init.hardTurn = 60.0;
  return init;
}

SeenObject circle(ObjectKind kind, double x, double y, double r) {
  SeenObject object;
  object.kind = kind;
  object.x = x;
  object.y = y;
  object.radius = r;
  return object;
}

Telemetry rover(std::int64_t timeMs, double x, double y, double heading, double speed,
                std::vector<SeenObject> objects = {}) {
  Telemetry telemetry;
  telemetry.timeMs = timeMs;
  telemetry.x = x;
  telemetry.y = y;
  telemetry.heading = heading;
  telemetry.speed = speed;
  telemetry.objects = std::move(objects);
  return telemetry;
}

TEST(WorldMemory, KeepsEachStaticObjectOnceAcrossRuns) {
  WorldMemory memory;
  auto boulder = circle(ObjectKind::Boulder, 10, 0, 2);
  auto crater = circle(ObjectKind::Crater, -5, 5, 3);
  memory.observe(rover(0, 20, 0, 180, 0, {boulder, crater, circle(ObjectKind::Home, 0, 0, 5)}));
  memory.observe(rover(100, 19, 0, 180, 1, {boulder, circle(ObjectKind::Boulder, 10, 0, 2.5)}));
  memory.startRun();
  memory.observe(rover(0, 20, 0, 180, 0, {crater}));
  EXPECT_EQ(memory.boulders().size(), 2u);
  EXPECT_EQ(memory.craters().size(), 1u);
}

TEST(WorldMemory, MartianSightingsReplaceTheirOlderSelvesAndExpire) {
  SeenObject martian;
  martian.kind = ObjectKind::Martian;
  martian.x = 5;
  WorldMemory memory;
  memory.observe(rover(0, 20, 0, 180, 0, {martian}));
  martian.x = 5.5;
  memory.observe(rover(100, 20, 0, 180, 0, {martian}));
  ASSERT_EQ(memory.martians().size(), 1u);
  EXPECT_EQ(memory.martians()[0].position.x, 5.5);
  memory.forgetMartiansBefore(101);
  EXPECT_TRUE(memory.martians().empty());
}

TEST(PathSearch, StraightHomeOnOpenGround) {
  CostGrid grid(100.0);
  WorldMemory memory;
  grid.addTerrain(memory, Margins{});
  std::vector<Point> path = findPath(grid, {30, 0}, 3.0);
  ASSERT_GE(path.size(), 2u);
  EXPECT_LE(length(path.back()), 3.0);
  for (const Point& p : path) EXPECT_LT(std::fabs(p.y), 0.5);
}

// A boulder squarely between the rover and home: the path goes round it and
// never enters its blocked zone, and it reaches the goal.
TEST(PathSearch, GoesAroundABoulderInTheWay) {
  WorldMemory memory;
  memory.observe(rover(0, 30, 0, 180, 0, {circle(ObjectKind::Boulder, 15, 0, 3)}));
  CostGrid grid(100.0);
  grid.addTerrain(memory, Margins{});
  std::vector<Point> path = findPath(grid, {30, 0}, 3.0);
  ASSERT_GE(path.size(), 2u);
  EXPECT_LE(length(path.back()), 3.0);
  double closest = 1e9;
  for (const Point& p : path) closest = std::min(closest, distance(p, {15, 0}));
  EXPECT_GT(closest, 3.0 + 0.5 + Margins{}.boulderHard);
}

TEST(PathSearch, WallOfCratersIsPassedThroughTheGap) {
  WorldMemory memory;
  std::vector<SeenObject> craters;
  for (double y = -40; y <= 40; y += 4)
    if (std::fabs(y - 20) > 1) craters.push_back(circle(ObjectKind::Crater, 15, y, 2));
  memory.observe(rover(0, 30, 0, 180, 0, craters));
  CostGrid grid(100.0);
  grid.addTerrain(memory, Margins{});
  std::vector<Point> path = findPath(grid, {30, 0}, 3.0);
  ASSERT_GE(path.size(), 2u);
  for (const Point& p : path)
    for (const SeenObject& crater : craters) EXPECT_GT(distance(p, {crater.x, crater.y}), crater.radius);
  bool crossedAtGap = false;
  for (const Point& p : path) crossedAtGap |= std::fabs(p.x - 15) < 0.5 && std::fabs(p.y - 20) < 2.5;
  EXPECT_TRUE(crossedAtGap);
}

TEST(Autopilot, TurnsTowardHomeTheShortWay) {
  struct Case {
    double heading;
    int turn;
  };
  // The rover is at (30, 0); home lies at bearing 180.
  const std::vector<Case> cases = {{180, 0}, {170, 1}, {-170, -1}, {90, 2}, {-90, -2}, {0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading);
    Autopilot pilot(plainInit());
    pilot.startRun();
    pilot.observe(rover(0, 30, 0, c.heading, 2));
    EXPECT_EQ(pilot.decide().turn, c.turn);
  }
}

// A bounce turns the heading round in one step; that is not a rotation to
// correct for.
TEST(Autopilot, HeadingJumpOfABounceIsNotTakenForTurning) {
  Autopilot pilot(plainInit());
  pilot.startRun();
  pilot.observe(rover(100, 30, 0, 0, 4));
  pilot.noteBounce();
  pilot.observe(rover(130, 30, 0, 180, 2));
  EXPECT_EQ(pilot.decide().turn, 0);
}

TEST(Autopilot, AcceleratesOnOpenGroundAndBrakesForASharpTurn) {
  Autopilot pilot(plainInit());
  pilot.startRun();
  pilot.observe(rover(0, 30, 0, 180, 0));
  EXPECT_EQ(pilot.decide().accel, 1);
  pilot.startRun();
  pilot.observe(rover(0, 30, 0, 0, 8));
  EXPECT_EQ(pilot.decide().accel, -1);
}

TEST(Autopilot, SteersPastABoulderAheadRatherThanIntoIt) {
  Autopilot pilot(plainInit());
  pilot.startRun();
  pilot.observe(rover(0, 20, 0, 180, 3, {circle(ObjectKind::Boulder, 12, 0, 2)}));
  Controls controls = pilot.decide();
  EXPECT_NE(controls.turn, 0);
  // The aim point lies off the line through the boulder.
  EXPECT_GT(std::fabs(pilot.aim().y), 1.0);
}

// Martians are slower than the rover: go round them, and keep the speed up.
TEST(Autopilot, SteersAroundAMartianWithoutSlowingDown) {
  SeenObject martian;
  martian.kind = ObjectKind::Martian;
  martian.x = 10;
  martian.y = 1;
  martian.heading = 0;
  martian.speed = 1;
  Autopilot pilot(plainInit());
  pilot.startRun();
  pilot.observe(rover(0, 22, 0, 180, 5, {martian}));
  Controls controls = pilot.decide();
  EXPECT_NE(controls.turn, 0);
  EXPECT_NE(controls.accel, -1);
  for (const Point& p : pilot.path()) EXPECT_GT(distance(p, {10, 1}), Margins{}.martianHard);
}

// Slowing down is the only way to tighten a turn; a rover that keeps full
// speed beside a crater would swing into it.
TEST(Autopilot, SlowsDownNextToAHazard) {
  Autopilot pilot(plainInit());
  pilot.startRun();
  pilot.observe(rover(0, 15, 4.5, 180, 8, {circle(ObjectKind::Crater, 12, 0, 2)}));
  EXPECT_EQ(pilot.decide().accel, -1);
}

}  // namespace
}  // namespace rover::pilot
