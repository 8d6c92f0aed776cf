#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "map_test_support.h"

namespace rover::testing {
namespace {

std::string twoRunMap() {
  return mapWith("\"runs\": [", R"("runs": [
    {"vehicle": {"x": 1, "y": 2, "dir": 540},
     "enemies": [{"x": 3, "y": 4, "dir": -270, "speed": 2, "view": 7},
                 {"x": 5, "y": 6, "dir": 0, "speed": 0, "view": 8}]},
    {"vehicle": {"x": 1, "y": 2, "dir": -190}, "enemies": [{"x": 9, "y": 9, "dir": 1e300, "speed": 1, "view": 1}]}
  ], "oldRuns": [)");
}

TEST(MapRecords, MinimalMapFields) {
  MapSpec map = loadText(minimalMap());
  EXPECT_EQ(map.halfSize, 50.0);
  EXPECT_EQ(map.timeLimitMillis, 60000);
  EXPECT_EQ(map.vehicleParams.maxSpeed, 10.0);
  EXPECT_EQ(map.vehicleParams.rearView, 5.0);
  EXPECT_EQ(map.martianParams.accel, 3.0);
  EXPECT_EQ(map.martianParams.frontView, 31.0);
  ASSERT_EQ(map.objects.size(), 2u);
  EXPECT_EQ(map.objects[0].kind, ObjectKind::Home);
  EXPECT_EQ(map.objects[0].circle.radius, 5.0);
  EXPECT_EQ(map.objects[0].circle.center.x, 0.0);
  EXPECT_EQ(map.objects[1].kind, ObjectKind::Crater);
  EXPECT_EQ(map.objects[1].circle.center.x, 10.0);
  EXPECT_EQ(map.objects[1].circle.center.y, -20.0);
  EXPECT_EQ(map.objects[1].circle.radius, 3.0);
  ASSERT_EQ(map.runs.size(), 1u);
  const RunSpec& run = map.runs[0];
  EXPECT_EQ(run.startState.speed, 0.0);
  EXPECT_EQ(run.startState.heading, -135.0);
  EXPECT_EQ(run.startState.position.x, 40.0);
  ASSERT_EQ(run.enemies.size(), 1u);
  EXPECT_EQ(run.enemies[0].view, 20.0);
  EXPECT_EQ(run.enemies[0].index, 0);
  EXPECT_EQ(run.enemies[0].startState.speed, 1.5);
  EXPECT_EQ(run.enemies[0].startState.heading, 90.0);
  EXPECT_EQ(run.enemies[0].startState.position.x, -30.0);
}

TEST(MapRecords, ObjectsAreHomeThenCratersThenBouldersInFileOrder) {
  MapSpec map = loadText(mapWith("\"craters\": [{\"x\": 10, \"y\": -20, \"r\": 3}],\n  \"boulders\": []",
                                 R"("boulders": [{"x": 1, "y": 0, "r": 1}, {"x": 2, "y": 0, "r": -1}],
                                    "craters": [{"x": 3, "y": 0, "r": 0}, {"x": 4, "y": 0, "r": 2}])"));
  ASSERT_EQ(map.objects.size(), 5u);
  const ObjectKind kinds[] = {ObjectKind::Home, ObjectKind::Crater, ObjectKind::Crater, ObjectKind::Boulder,
                              ObjectKind::Boulder};
  const double xs[] = {0, 3, 4, 1, 2};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(map.objects[i].kind, kinds[i]) << i;
    EXPECT_EQ(map.objects[i].circle.center.x, xs[i]) << i;
  }
  EXPECT_EQ(map.objects[4].circle.radius, -1.0);  // stored as given
}

TEST(MapRecords, NoCratersOrBouldersLeavesOnlyHome) {
  MapSpec map = loadText(mapWith("[{\"x\": 10, \"y\": -20, \"r\": 3}]", "[]"));
  ASSERT_EQ(map.objects.size(), 1u);
  EXPECT_EQ(map.objects[0].kind, ObjectKind::Home);
}

struct HeadingCase {
  const char* dir;
  double heading;
};

class StartHeadings : public ::testing::TestWithParam<HeadingCase> {};

TEST_P(StartHeadings, NormalisedButDirectionFromTheValueAsRead) {
  MapSpec map = loadText(mapWith("\"dir\": -135", std::string("\"dir\": ") + GetParam().dir));
  const MotionState& start = map.runs[0].startState;
  EXPECT_EQ(start.heading, GetParam().heading) << GetParam().dir;
  double asRead = std::strtod(GetParam().dir, nullptr);
  double t = kPi * asRead / 180;
  EXPECT_EQ(start.direction.x, std::cos(t));
  EXPECT_EQ(start.direction.y, std::sin(t));
}

INSTANTIATE_TEST_SUITE_P(Table, StartHeadings,
                         ::testing::Values(HeadingCase{"540", 180.0}, HeadingCase{"180", 180.0},
                                           HeadingCase{"-180", -180.0}, HeadingCase{"-190", 170.0},
                                           HeadingCase{"-270", 90.0}, HeadingCase{"90", 90.0},
                                           HeadingCase{"0.5", 0.5}, HeadingCase{"900", 180.0}));

TEST(MapRecords, EnemyHeadingNinetyPointsUp) {
  MapSpec map = loadText(minimalMap());
  const MotionState& start = map.runs[0].enemies[0].startState;
  EXPECT_EQ(start.heading, 90.0);
  EXPECT_NEAR(start.direction.x, 0.0, 1e-15);
  EXPECT_NE(start.direction.x, 0.0);  // cos of pi/2 in doubles, about 6e-17
  EXPECT_EQ(start.direction.y, 1.0);
  EXPECT_EQ(start.rotation, 0.0);
}

TEST(MapRecords, HugeDirectionLoadsWithoutHanging) {
  MapSpec map = loadText(twoRunMap());
  double heading = map.runs[1].enemies[0].startState.heading;
  EXPECT_GE(heading, -180.0);
  EXPECT_LE(heading, 180.0);
}

TEST(MapRecords, CellsBeforeTheFirstRunHoldItsRoverStart) {
  const MapSpec map = loadText(twoRunMap());
  const World world = worldBeforeRuns(map);
  EXPECT_EQ(world.rover.heading, 180.0);
  EXPECT_EQ(world.rover.position.x, 1.0);
  EXPECT_EQ(world.rover.speed, 0.0);
  EXPECT_TRUE(world.martians.empty());
  EXPECT_TRUE(world.roverObjects.empty());
  EXPECT_EQ(world.roverControl.turn, 0);
  EXPECT_EQ(world.roverControl.accel, 0);
}

TEST(StartRun, FillsTheCellsOfTheChosenRun) {
  MapSpec map = loadText(twoRunMap());
  World world = startRun(map, 2, makeWorldRules(map).statics);
  EXPECT_EQ(world.rover.heading, 170.0);
  ASSERT_EQ(world.martians.size(), 1u);
  EXPECT_EQ(world.martians[0].index, 0);  // numbering restarts in every run
  EXPECT_EQ(world.martians[0].view, 1.0);

  world = startRun(map, 1, makeWorldRules(map).statics);
  ASSERT_EQ(world.martians.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    const Martian& martian = world.martians[static_cast<std::size_t>(i)];
    EXPECT_EQ(martian.index, i);
    EXPECT_EQ(martian.control.turn, 0);
    EXPECT_EQ(martian.control.accel, 0);
    EXPECT_EQ(martian.wanderAngle, 0.0);
  }
  EXPECT_EQ(world.martians[0].motion.heading, 90.0);
  EXPECT_EQ(world.martians[0].motion.speed, 2.0);
  EXPECT_EQ(world.martians[1].view, 8.0);
}

TEST(StartRun, RoverObjectsAreMartiansThenStaticObjectsAllHidden) {
  MapSpec map = loadText(twoRunMap());
  World world = startRun(map, 1, makeWorldRules(map).statics);
  const auto& list = world.roverObjects;
  ASSERT_EQ(list.size(), 4u);  // Martian 0, Martian 1, Home, the crater
  EXPECT_EQ(list[0].object.kind, ObjectKind::MartianObj);
  EXPECT_EQ(list[0].object.id, 0);
  EXPECT_EQ(objectCircle(world, list[0].object).center.x, 3.0);  // where its Martian is
  EXPECT_EQ(list[1].object.kind, ObjectKind::MartianObj);
  EXPECT_EQ(list[1].object.id, 1);
  EXPECT_EQ(list[2].object.kind, ObjectKind::Home);
  EXPECT_EQ(list[3].object.kind, ObjectKind::Crater);
  for (const RoverObject& entry : list) EXPECT_FALSE(entry.visible);

  // Flags set during a run are cleared by the next start.
  world.roverObjects.setVisible(2, true);
  world = startRun(map, 1, makeWorldRules(map).statics);
  EXPECT_FALSE(world.roverObjects[2].visible);
}

TEST(StartRun, RunsShareNoState) {
  MapSpec map = loadText(twoRunMap());
  World world = startRun(map, 1, makeWorldRules(map).statics);
  world.rover.position.x = 99.0;
  world.rover.speed = 5.0;
  world.roverControl = ControlState{2, 1};
  world.martians[0].motion.position.x = -99.0;
  world.martians.pop_back();
  world = startRun(map, 2, makeWorldRules(map).statics);
  EXPECT_EQ(world.rover.position.x, 1.0);
  EXPECT_EQ(world.rover.speed, 0.0);
  EXPECT_EQ(world.roverControl.turn, 0);
  EXPECT_EQ(world.roverControl.accel, 0);
  world = startRun(map, 1, makeWorldRules(map).statics);
  EXPECT_EQ(world.rover.position.x, 1.0);
  ASSERT_EQ(world.martians.size(), 2u);
  EXPECT_EQ(world.martians[0].motion.position.x, 3.0);
  EXPECT_EQ(map.runs[0].enemies[0].startState.position.x, 3.0);
}

TEST(StartRun, RunNumberOutsideTheListIsSubscript) {
  MapSpec map = loadText(twoRunMap());
  for (int k : {0, 3, -1, 1000}) {
    EXPECT_EQ(outcomeOf([&] { startRun(map, k, makeWorldRules(map).statics); }), "Subscript") << k;
  }
  EXPECT_EQ(outcomeOf([&] { startRun(map, 2, makeWorldRules(map).statics); }), "ok");
}

TEST(WorldRules, ModelsWallAndObjects) {
  MapSpec map = loadText(minimalMap());
  WorldRules rules = makeWorldRules(map);
  EXPECT_EQ(rules.wallBound, 49.5);
  EXPECT_EQ(rules.roverModel.params.maxSpeed, 10.0);
  EXPECT_EQ(rules.martianModel.params.maxSpeed, 11.0);
  EXPECT_EQ(rules.roverModel.drag, 2.0 / (10.0 * 10.0));
  ASSERT_EQ(rules.statics->size(), 2u);
  EXPECT_EQ((*rules.statics)[1].kind, ObjectKind::Crater);
}

}  // namespace
}  // namespace rover::testing
