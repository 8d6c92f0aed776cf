#include <cmath>

#include <gtest/gtest.h>

#include "base/failure.h"
#include "sim/motion.h"
#include "sim_fixtures.h"

namespace rover {
namespace {

using testing::roverParams;

MotionState movingEast(double speed) {
  MotionState s;
  s.speed = speed;
  s.heading = 0.0;
  s.direction = {1.0, 0.0};
  return s;
}

TEST(MotionModel, DragMakesMaxSpeedTheFixedPoint) {
  const MotionModel m = makeMotionModel(roverParams());
  EXPECT_EQ(m.drag, 2.0 / 16.0);
  EXPECT_EQ(m.pi, 3.141592653589793);
  // At maxSpeed under full acceleration the speed does not move (a step
  // length exact in binary keeps the arithmetic exact).
  EXPECT_EQ(stepMotion(m, {0, 1}, movingEast(4.0), 0.25).speed, 4.0);
  // From rest it climbs toward maxSpeed without passing it.
  MotionState s = movingEast(0.0);
  for (int i = 0; i < 3000; ++i) s = stepMotion(m, {0, 1}, s, 0.01);
  EXPECT_NEAR(s.speed, 4.0, 1e-9);
  EXPECT_LE(s.speed, 4.0 + 1e-12);
}

TEST(StepMotion, SpeedUpdateByControl) {
  const MotionModel m = makeMotionModel(roverParams());
  struct Case {
    int accel;
    double v;
    double expected;  // (a*dt + v) - dt*(k*v*v), written out by hand
  };
  const Case cases[] = {
      {1, 0.0, 0.02},                       // 2*0.01 + 0
      {1, 2.0, (0.02 + 2.0) - 0.01 * 0.5},  // k*v*v = 0.125*2*2
      {0, 2.0, 2.0 - 0.005},                // drag only
      {-1, 2.0, (-0.03 + 2.0) - 0.005},     // braking plus drag
      {-1, 0.02, 0.0},                      // braking from a small speed stops exactly
      {-1, 0.0, 0.0},                       // never reverses
      {0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    const MotionState next = stepMotion(m, {0, c.accel}, movingEast(c.v), 0.01);
    EXPECT_EQ(next.speed, c.expected) << "accel " << c.accel << " v " << c.v;
    EXPECT_FALSE(std::signbit(next.speed));
  }
}

TEST(StepMotion, NaNSpeedBecomesZero) {
  VehicleParams p = roverParams();
  p.accel = std::nan("");
  const MotionState next = stepMotion(makeMotionModel(p), {0, 1}, movingEast(1.0), 0.01);
  EXPECT_EQ(next.speed, 0.0);
}

TEST(StepMotion, RotationRampsAndSnaps) {
  const MotionModel m = makeMotionModel(roverParams());  // one step changes rotation by 2 deg/s
  struct Case {
    int turn;
    double rotation;
    double expected;
  };
  const Case cases[] = {
      {2, 0.0, 2.0},   {1, 0.0, 2.0},   {-1, 0.0, -2.0}, {-2, 0.0, -2.0},    {1, 19.0, 20.0},
      {1, 18.0, 20.0}, {1, 17.5, 19.5}, {1, 21.0, 20.0}, {1, 25.0, 23.0},    {0, 1.5, 0.0},
      {0, -2.0, 0.0},  {0, 2.5, 0.5},   {2, 59.0, 60.0}, {-2, -57.0, -59.0}, {-2, 60.0, 58.0},
  };
  for (const Case& c : cases) {
    MotionState s = movingEast(0.0);
    s.rotation = c.rotation;
    EXPECT_EQ(stepMotion(m, {c.turn, 0}, s, 0.01).rotation, c.expected) << c.turn << " " << c.rotation;
  }
}

TEST(StepMotion, AtRestTurnsOnTheSpot) {
  const MotionModel m = makeMotionModel(roverParams());
  MotionState s = movingEast(0.0);
  s.position = {3.0, -4.0};
  s.rotation = 10.0;
  for (int i = 0; i < 20; ++i) s = stepMotion(m, {0, 0}, s, 0.01);
  EXPECT_EQ(s.position.x, 3.0);
  EXPECT_EQ(s.position.y, -4.0);
  EXPECT_EQ(s.rotation, 0.0);
  // 8 + 6 + 4 + 2 deg/s for one hundredth of a second each.
  EXPECT_NEAR(s.heading, 0.2, 1e-12);
}

TEST(StepMotion, StraightLineKeepsDirectionBitForBit) {
  const MotionModel m = makeMotionModel(roverParams());
  MotionState s;
  s.speed = 1.0;
  s.heading = 33.0;
  // Deliberately not (cos 33, sin 33): a direction left by a degenerate bounce.
  s.direction = {0.1, 0.7};
  s.position = {1.0, 2.0};
  const MotionState next = stepMotion(m, {0, 1}, s, 0.01);
  const double v2 = (0.02 + 1.0) - 0.01 * (0.125 * 1.0 * 1.0);
  const double dist = (0.01 * 0.5) * (1.0 + v2);
  EXPECT_EQ(next.heading, 33.0);
  EXPECT_EQ(next.direction.x, 0.1);
  EXPECT_EQ(next.direction.y, 0.7);
  EXPECT_EQ(next.position.x, 1.0 + 0.1 * dist);
  EXPECT_EQ(next.position.y, 2.0 + 0.7 * dist);
}

TEST(StepMotion, TurningAveragesOldAndNewDirection) {
  const MotionModel m = makeMotionModel(roverParams());
  MotionState s = movingEast(2.0);
  s.rotation = 20.0;
  const MotionState next = stepMotion(m, {1, 0}, s, 0.01);
  const double h = 0.0 + 20.0 * 0.01;
  const double r = h * 3.141592653589793 / 180;
  const double v2 = 2.0 - 0.01 * (0.125 * 2.0 * 2.0);
  const double dist = (0.01 * 0.5) * (2.0 + v2);
  EXPECT_EQ(next.heading, h);
  EXPECT_EQ(next.direction.x, std::cos(r));
  EXPECT_EQ(next.direction.y, std::sin(r));
  EXPECT_EQ(next.position.x, ((1.0 + std::cos(r)) * 0.5) * dist);
  EXPECT_EQ(next.position.y, ((0.0 + std::sin(r)) * 0.5) * dist);
}

TEST(StepMotion, HeadingWrapsAtPlusMinus180) {
  VehicleParams p = roverParams();
  p.rotAccel = 1e9;  // rotation snaps to its target at once
  p.turn = 100.0;
  const MotionModel m = makeMotionModel(p);
  struct Case {
    double heading;
    int turn;
    double expected;
  };
  const Case cases[] = {
      {179.5, 1, 179.5 + 1.0 - 360},  // crosses 180 to the negative side
      {-179.5, -1, -179.5 - 1.0 + 360},
      {179.0, 1, 180.0},     // lands on 180 exactly: kept
      {-179.0, -1, -180.0},  // and -180 likewise
  };
  for (const Case& c : cases) {
    MotionState s = movingEast(0.0);
    s.heading = c.heading;
    EXPECT_EQ(stepMotion(m, {c.turn, 0}, s, 0.01).heading, c.expected) << c.heading;
  }
}

TEST(StepMotion, OutOfRangeControlFails) {
  const MotionModel m = makeMotionModel(roverParams());
  for (ControlState bad :
       {ControlState{3, 0}, ControlState{-3, 0}, ControlState{0, 2}, ControlState{0, -2}}) {
    EXPECT_THROW(stepMotion(m, bad, movingEast(1.0), 0.01), Failure);
  }
}

TEST(StartMotionState, HeadingNormalisedDirectionFromDirAsRead) {
  const MotionState s = startMotionState(1.5, -2.5, -270.0, 3.0);
  EXPECT_EQ(s.heading, 90.0);
  EXPECT_EQ(s.speed, 3.0);
  EXPECT_EQ(s.rotation, 0.0);
  EXPECT_EQ(s.position.x, 1.5);
  EXPECT_EQ(s.position.y, -2.5);
  const double t = 3.141592653589793 * -270.0 / 180;
  EXPECT_EQ(s.direction.x, std::cos(t));
  EXPECT_EQ(s.direction.y, std::sin(t));

  const MotionState up = startMotionState(0, 0, 90.0, 0.0);
  EXPECT_EQ(up.heading, 90.0);
  EXPECT_NEAR(up.direction.x, 0.0, 1e-16);
  EXPECT_NE(up.direction.x, 0.0);  // cos of the rounded pi/2 is about 6e-17
  EXPECT_EQ(up.direction.y, 1.0);
  EXPECT_EQ(startMotionState(0, 0, 540.0, 0).heading, 180.0);
}

}  // namespace
}  // namespace rover
