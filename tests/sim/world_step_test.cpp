#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "sim/bounce.h"
#include "sim/world_step.h"
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

// A world whose rover sits still at (x, y) and sees every object.
World stillRover(double x, double y, const WorldRules& rules, std::vector<Martian> martians = {}) {
  World world;
  world.rover = moverAt(x, y);
  world.martians = std::move(martians);
  world.roverObjects = roverListFor(world.martians, rules, true);
  return world;
}

TEST(BounceOff, ReflectsAndHalvesTheNormalComponent) {
  MotionState s = moverAt(2.0, 3.0, 180.0, 2.0);
  s.direction = {-1.0, 0.0};
  s.rotation = 15.0;
  const MotionState b = bounceOff(s, {1.0, 0.0}, 0.25);
  EXPECT_EQ(b.speed, 1.0);
  EXPECT_EQ(b.direction.x, 1.0);
  EXPECT_EQ(b.direction.y, 0.0);
  EXPECT_EQ(b.heading, 0.0);
  EXPECT_EQ(b.rotation, 0.0);
  EXPECT_EQ(b.position.x, 2.0 + (0.25 + 0.1));
  EXPECT_EQ(b.position.y, 3.0);
}

TEST(BounceOff, TangentialMotionKeepsSpeedAndHeading) {
  const MotionState s = moverAt(0.0, 0.0, 90.0, 2.0);  // direction x is about 6e-17
  const MotionState b = bounceOff(s, {-1.0, 0.0}, 0.0);
  EXPECT_NEAR(b.speed, 2.0, 1e-15);
  EXPECT_NEAR(b.heading, 90.0, 1e-12);
  EXPECT_EQ(b.position.x, -0.1);
}

TEST(BounceOff, StandingMoverKeepsAZeroDirection) {
  const MotionState b = bounceOff(moverAt(1.0, 1.0, 45.0, 0.0), {0.0, 1.0}, 0.5);
  EXPECT_EQ(b.speed, 0.0);
  EXPECT_EQ(b.direction.x, 0.0);
  EXPECT_EQ(b.direction.y, 0.0);
  EXPECT_EQ(b.heading, 0.0);
  EXPECT_EQ(b.position.y, 1.6);
}

TEST(WorldStep, WallBoundIsInclusive) {
  const WorldRules rules = rulesWith({});
  struct Case {
    double x, y;
    bool bounced;
    double expectX, expectY;
  };
  const Case cases[] = {
      {9.5, 0.0, false, 9.5, 0.0},       {-9.5, 9.5, false, -9.5, 9.5},
      {9.5 + 1e-9, 0.0, true, 9.4, 0.0}, {-9.5 - 1e-9, 0.0, true, -9.4, 0.0},
      {0.0, 9.5 + 1e-9, true, 0.0, 9.4}, {0.0, -9.5 - 1e-9, true, 0.0, -9.4},
      {12.0, 12.0, true, 9.4, 12.0},  // x is tested before y: one wall per step
  };
  for (const Case& c : cases) {
    World world = stillRover(c.x, c.y, rules);
    const StepResult r = worldStep(world, rules, 0.01);
    EXPECT_EQ(r.event.has_value(), c.bounced) << c.x << "," << c.y;
    if (c.bounced) {
      EXPECT_EQ(*r.event, 'B');
    }
    EXPECT_FALSE(r.outcome.has_value());
    EXPECT_NEAR(world.rover.position.x, c.expectX, 1e-12) << c.x << "," << c.y;
    EXPECT_NEAR(world.rover.position.y, c.expectY, 1e-12) << c.x << "," << c.y;
  }
}

TEST(WorldStep, HeadOnIntoAWallLeavesAtHalfSpeedReversed) {
  const WorldRules rules = rulesWith({});
  World world = stillRover(9.49, 0.0, rules);
  world.rover = moverAt(9.49, 0.0, 0.0, 3.0);
  const MotionState moved = stepMotion(rules.roverModel, {}, world.rover, 0.01);
  ASSERT_GT(moved.position.x, 9.5);
  EXPECT_EQ(worldStep(world, rules, 0.01).event, 'B');
  EXPECT_DOUBLE_EQ(world.rover.speed, 0.5 * moved.speed);
  EXPECT_EQ(world.rover.heading, 180.0);
  EXPECT_NEAR(world.rover.position.x, 9.4, 1e-12);
}

TEST(WorldStep, RoverBoulderContactUsesSumOfSquares) {
  // r = 1: (r + 0.5)^2 = 2.25 but the test is D^2 < r^2 + 0.25 = 1.25.
  const WorldRules rules = rulesWith({boulder(0.0, 0.0, 1.0)}, 100.0);
  struct Case {
    double x;
    bool bounced;
  };
  const Case cases[] = {{1.2, false}, {1.4, false}, {std::sqrt(1.25), false}, {1.1, true}, {-0.5, true}};
  for (const Case& c : cases) {
    World world = stillRover(c.x, 0.0, rules);
    const StepResult r = worldStep(world, rules, 0.01);
    EXPECT_EQ(r.event.has_value(), c.bounced) << c.x;
    // A bounced rover ends at the contact distance r + 0.5 plus the 0.1 margin.
    if (c.bounced) {
      EXPECT_NEAR(std::fabs(world.rover.position.x), 1.6, 1e-12) << c.x;
    }
  }
}

TEST(WorldStep, HomeNeedsTheRoverCentreInside) {
  const WorldRules rules = rulesWith({home()}, 100.0);
  struct Case {
    double x;
    bool reached;
  };
  const Case cases[] = {{5.4, false}, {5.0, false}, {4.999999, true}, {0.0, true}};
  for (const Case& c : cases) {
    World world = stillRover(c.x, 0.0, rules);
    const StepResult r = worldStep(world, rules, 0.01);
    EXPECT_EQ(r.outcome == Outcome::ReachedHome, c.reached) << c.x;
    if (c.reached) {
      EXPECT_EQ(r.event, 'S');
    }
  }
}

TEST(WorldStep, CraterNeedsTheRoverCentreInside) {
  const WorldRules rules = rulesWith({crater(20.0, 0.0, 2.0)}, 100.0);
  for (const auto& [x, crashed] : {std::pair{17.9, false}, {18.0, false}, {18.01, true}}) {
    World world = stillRover(x, 0.0, rules);
    const StepResult r = worldStep(world, rules, 0.01);
    EXPECT_EQ(r.outcome == Outcome::CrashedIntoCrater, crashed) << x;
    if (crashed) {
      EXPECT_EQ(r.event, 'C');
    }
  }
}

TEST(WorldStep, MartianIsKeptOutOfTheHomeCircle) {
  const WorldRules rules = rulesWith({home()}, 100.0);
  struct Case {
    double x;
    bool bounced;
  };
  // Contact when D^2 < 0.4^2 + 5^2 = 25.16; a bounce places it at 5.5.
  const Case cases[] = {{5.02, false}, {5.015, true}, {5.0, true}, {3.0, true}};
  for (const Case& c : cases) {
    World world = stillRover(50.0, 50.0, rules, {martianAt(0, c.x, 0.0)});
    worldStep(world, rules, 0.01);
    ASSERT_EQ(world.martians.size(), 1u);
    EXPECT_NEAR(world.martians[0].motion.position.x, c.bounced ? 5.5 : c.x, 1e-12) << c.x;
  }
}

TEST(WorldStep, MartianBoulderAndWallContacts) {
  const WorldRules rules = rulesWith({boulder(0.0, 20.0, 1.0)}, 30.0);
  struct Case {
    double x, y;
    double expectX, expectY;
  };
  // Boulder contact when D^2 < 0.4^2 + r^2 = 1.16, not (0.4 + r)^2 = 1.96;
  // a bounce places the Martian at 1.4 + 0.1 from the centre.
  const Case cases[] = {
      {0.0, 21.1, 0.0, 21.1},   // D = 1.1 < 1.4 but D^2 = 1.21: no contact
      {0.0, 21.07, 0.0, 21.5},  // D^2 = 1.1449
      {0.0, 21.0, 0.0, 21.5},  {0.0, 19.0, 0.0, 18.5}, {30.5, 0.0, 29.9, 0.0}, {0.0, -31.0, 0.0, -29.9},
  };
  for (const Case& c : cases) {
    World world = stillRover(-25.0, -25.0, rules, {martianAt(0, c.x, c.y)});
    worldStep(world, rules, 0.01);
    EXPECT_NEAR(world.martians[0].motion.position.x, c.expectX, 1e-12) << c.x << "," << c.y;
    EXPECT_NEAR(world.martians[0].motion.position.y, c.expectY, 1e-12) << c.x << "," << c.y;
  }
}

TEST(WorldStep, MartianFallingIntoACraterLeavesBothLists) {
  const WorldRules rules = rulesWith({crater(10.0, 0.0, 1.0)}, 100.0);
  World world = stillRover(
      -20.0, 0.0, rules,
      {martianAt(0, 30.0, 0.0), martianAt(1, 10.5, 0.0), martianAt(2, 40.0, 0.0), martianAt(3, 9.8, 0.1)});
  world.martians[2].control = {0, 1};
  const StepResult r = worldStep(world, rules, 0.01);
  EXPECT_FALSE(r.event.has_value());
  ASSERT_EQ(r.lost.size(), 2u);  // in list order, where each fell
  EXPECT_EQ(r.lost[0].index, 1);
  EXPECT_EQ(r.lost[1].index, 3);
  EXPECT_EQ(r.lost[1].position.x, 9.8);
  ASSERT_EQ(world.martians.size(), 2u);
  EXPECT_EQ(world.martians[0].index, 0);
  EXPECT_EQ(world.martians[1].index, 2);
  EXPECT_GT(world.martians[1].motion.position.x, 40.0);  // the one after it still moved
  EXPECT_EQ(findMartian(world, 1), nullptr);
  ASSERT_EQ(world.roverObjects.size(), 3u);
  EXPECT_EQ(world.roverObjects[0].object.id, 0);
  EXPECT_EQ(world.roverObjects[1].object.id, 2);
  EXPECT_EQ(world.roverObjects[2].object.kind, ObjectKind::Crater);
  // The removed Martian is no longer a danger to the rover (the crater is
  // hidden from it here).
  world.roverObjects.setVisible(2, false);
  world.rover = moverAt(10.5, 0.3);
  EXPECT_EQ(worldStep(world, rules, 0.01).outcome, std::nullopt);
}

TEST(WorldStep, MartianTouchKillsTheRover) {
  const WorldRules rules = rulesWith({}, 100.0);
  struct Case {
    double dx;
    bool killed;
  };
  // D^2 < 0.5^2 + 0.4^2 = 0.41 (not 0.81).
  const Case cases[] = {{0.64, true}, {0.65, false}, {0.85, false}};
  for (const Case& c : cases) {
    World world = stillRover(20.0, 0.0, rules, {martianAt(3, 20.0 + c.dx, 0.0)});
    const StepResult r = worldStep(world, rules, 0.01);
    EXPECT_EQ(r.outcome == Outcome::KilledByMartian, c.killed) << c.dx;
    if (c.killed) {
      EXPECT_EQ(r.event, 'K');
    }
  }
}

TEST(WorldStep, WallComesBeforeAnyObject) {
  const WorldRules rules = rulesWith({crater(9.6, 0.0, 1.0), boulder(9.6, 0.0, 1.0)});
  World world = stillRover(9.6, 0.0, rules);
  const StepResult r = worldStep(world, rules, 0.01);
  EXPECT_EQ(r.event, 'B');
  EXPECT_FALSE(r.outcome.has_value());
  EXPECT_NEAR(world.rover.position.x, 9.4, 1e-12);
}

TEST(WorldStep, FirstContactInListOrderWins) {
  struct Case {
    std::vector<WorldObject> statics;
    bool withMartian;
    char event;
  };
  // The rover at (4.9, 0) overlaps all of these at once; the Martian at
  // (5.3, 0) stays clear of the static objects.
  const WorldObject pit = crater(4.5, 0.0, 0.5);
  const WorldObject rock = boulder(4.7, 0.3, 0.5);
  const Case cases[] = {
      {{home(), pit, rock}, true, 'K'},
      {{home(), pit, rock}, false, 'S'},
      {{pit, rock}, false, 'C'},
      {{rock, pit}, false, 'B'},
  };
  for (const Case& c : cases) {
    const WorldRules rules = rulesWith(c.statics, 100.0);
    std::vector<Martian> martians;
    if (c.withMartian) martians.push_back(martianAt(0, 5.3, 0.0));
    World world = stillRover(4.9, 0.0, rules, martians);
    EXPECT_EQ(worldStep(world, rules, 0.01).event, c.event);
  }
}

TEST(WorldStep, UnseenObjectsArePassedThrough) {
  const WorldRules rules = rulesWith({home(), crater(20.0, 0.0, 2.0), boulder(-20.0, 0.0, 2.0)}, 100.0);
  for (double x : {0.0, 20.0, -20.5}) {
    World world = stillRover(x, 0.0, rules, {martianAt(0, x, 0.2)});
    for (std::size_t i = 0; i < world.roverObjects.size(); ++i) world.roverObjects.setVisible(i, false);
    const StepResult r = worldStep(world, rules, 0.01);
    EXPECT_FALSE(r.event.has_value()) << x;
    EXPECT_EQ(world.rover.position.x, x);
  }
}

TEST(FindMartian, FindsLiveMartiansInAnyOrder) {
  // A run keeps its Martians in index order with gaps where some were lost;
  // a list in another order must still be searched correctly.
  for (const std::vector<int>& indices :
       {std::vector<int>{0, 1, 3, 4, 7, 8, 9}, std::vector<int>{9, 3, 0, 8, 1, 7, 4}, std::vector<int>{}}) {
    World world;
    for (int i : indices) world.martians.push_back(martianAt(i, i * 10.0, 0.0));
    for (int i = -1; i <= 10; ++i) {
      const Martian* found = findMartian(world, i);
      const bool live = std::find(indices.begin(), indices.end(), i) != indices.end();
      ASSERT_EQ(found != nullptr, live) << i;
      if (found) {
        EXPECT_EQ(found->index, i);
        EXPECT_EQ(found->motion.position.x, i * 10.0);
      }
    }
  }
}

TEST(OutcomeText, Table) {
  EXPECT_STREQ(outcomeText(Outcome::KilledByMartian), "killed by Martian");
  EXPECT_STREQ(outcomeText(Outcome::CrashedIntoCrater), "crashed into crater");
  EXPECT_STREQ(outcomeText(Outcome::TimeLimitExceeded), "time limit exceeded");
  EXPECT_STREQ(outcomeText(Outcome::ReachedHome), "reached home");
  EXPECT_EQ(static_cast<int>(Outcome::ReachedHome), 3);
}

}  // namespace
}  // namespace rover
