#include "rover/controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rover::client {
namespace {

using Commands = std::vector<std::string>;

TEST(CommandsToward, OneNotchOfEachPerCommand) {
  struct Case {
    Controls from, to;
    Commands expected;
  };
  const std::vector<Case> cases = {
      {{0, 0}, {0, 0}, {}},
      {{0, 0}, {1, 0}, {"a"}},
      {{0, 0}, {-1, 0}, {"b"}},
      {{0, 0}, {0, 1}, {"l"}},
      {{0, 0}, {0, -2}, {"r", "r"}},
      {{0, 0}, {1, 2}, {"al", "l"}},
      {{1, 1}, {-1, -1}, {"br", "br"}},
      {{-1, -2}, {1, 2}, {"al", "al", "l", "l"}},
      {{1, -1}, {0, 2}, {"bl", "l", "l"}},
      {{-1, 0}, {1, -1}, {"ar", "a"}},
      {{0, 0}, {5, -9}, {"ar", "r"}},  // beyond the ends: as far as the rover goes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from.accel << "," << c.from.turn << " -> " << c.to.accel << ","
                                    << c.to.turn);
    EXPECT_EQ(commandsToward(c.from, c.to), c.expected);
  }
}

Telemetry at(std::int64_t timeMs, Controls shown) {
  Telemetry telemetry;
  telemetry.timeMs = timeMs;
  telemetry.controls = shown;
  return telemetry;
}

// The telemetry right after a command may predate the poll that reads it;
// sending the notch again would overshoot.
TEST(ControlTracker, DoesNotRepeatCommandsStillInFlight) {
  ControlTracker tracker;
  tracker.startRun();
  EXPECT_EQ(tracker.steer(at(0, {0, 0}), {1, 2}), (Commands{"al", "l"}));
  EXPECT_EQ(tracker.steer(at(100, {0, 0}), {1, 2}), Commands{});
  // Long enough after the last command, the telemetry is the truth again.
  EXPECT_EQ(tracker.steer(at(200, {1, 1}), {1, 2}), Commands{"l"});
}

TEST(ControlTracker, SendsTwoCommandsAtMostAndTheRestLater) {
  ControlTracker tracker;
  tracker.startRun();
  EXPECT_EQ(tracker.steer(at(0, {-1, -2}), {1, 2}), (Commands{"al", "al"}));
  EXPECT_EQ(tracker.steer(at(100, {-1, -2}), {1, 2}), (Commands{"l", "l"}));
  EXPECT_EQ(tracker.steer(at(200, {1, 0}), {1, 2}), Commands{});
}

TEST(ControlTracker, FollowsTheServerOnceCommandsHaveSettled) {
  ControlTracker tracker;
  tracker.startRun();
  EXPECT_EQ(tracker.steer(at(0, {0, 0}), {1, 0}), Commands{"a"});
  EXPECT_EQ(tracker.steer(at(200, {1, 0}), {1, 0}), Commands{});
  // A new run starts from the server's word, not from the old expectation.
  tracker.startRun();
  EXPECT_EQ(tracker.steer(at(0, {0, 0}), {1, 0}), Commands{"a"});
}

}  // namespace
}  // namespace rover::client
