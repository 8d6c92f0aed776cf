// Lockstep against real time, through Game on the test clock: where at most
// one reply falls due per poll and nothing bounces, the two modes must give
// the same stream; and lockstep's waits, timeouts and drains follow the
// reply count, never the arrival of bytes.
#include <gtest/gtest.h>

#include <string>

#include "game_fixture.h"

namespace rover {
namespace {

using testing::GameHarness;

// Open ground, two Martians: no bounce whatever the client does.
constexpr const char* kOpenMap = R"({
  "size": 200, "timeLimit": 3000,
  "vehicleParams": {"maxSpeed": 8, "accel": 3, "brake": 6, "turn": 20, "hardTurn": 60,
                    "rotAccel": 120, "frontView": 30, "rearView": 5},
  "martianParams": {"maxSpeed": 3, "accel": 2, "brake": 4, "turn": 30, "hardTurn": 90,
                    "rotAccel": 200, "frontView": 10, "rearView": 10},
  "craters": [], "boulders": [],
  "runs": [{"vehicle": {"x": 40, "y": 5, "dir": 180},
            "enemies": [{"x": 20, "y": 30, "dir": -90, "speed": 1, "view": 5},
                        {"x": 60, "y": -10, "dir": 0, "speed": 2, "view": 20}]},
           {"vehicle": {"x": -40, "y": -5, "dir": 10}, "enemies": []}]
})";

MapSpec openMap() {
  return testing::mapFromText(kOpenMap);
}

std::string reply(int k, const std::string&) {
  switch (k % 8) {
    case 1:
      return "a;;";
    case 3:
      return "al;;";
    case 5:
      return "r;b;;";
    default:
      return ";";
  }
}

TEST(LockstepEquivalence, SameStreamAsRealTimeWithOneReplyPerPoll) {
  GameHarness realtime(openMap(), {.seed = 7});
  realtime.playAnswering(reply);
  GameHarness lockstep(openMap(), {.mode = PlayMode::Lockstep, .seed = 7});
  lockstep.playAnswering(reply);
  EXPECT_EQ(lockstep.transport.sent(), realtime.transport.sent());
  EXPECT_EQ(lockstep.stdoutText.text(), realtime.stdoutText.text());
  ASSERT_EQ(lockstep.recorder.reports.size(), 2u);
  EXPECT_GT(lockstep.recorder.reports[0].commands, 0);
  EXPECT_EQ(lockstep.recorder.reports[0].commands, realtime.recorder.reports[0].commands);
}

// Replies sent ahead of their "T" change nothing: only the count of "T"
// messages decides which poll applies which reply, and the drain at a run
// start leaves the early bytes for the replies they answer.
TEST(LockstepEquivalence, EarlyRepliesChangeNothing) {
  GameHarness steady(openMap(), {.mode = PlayMode::Lockstep});
  steady.playAnswering(reply);
  GameHarness early(openMap(), {.mode = PlayMode::Lockstep});
  early.playAnswering([](int k, const std::string& text) {
    // Each odd "T" gets its reply and the next one's at once.
    return k % 2 == 1 ? reply(k, text) + reply(k + 1, text) : std::string();
  });
  EXPECT_EQ(early.transport.sent(), steady.transport.sent());
}

// A client that never completes a reply is never steered, and with a
// timeout every reply it owes is late; the runs still end.
TEST(LockstepEquivalence, SilentClientHasEveryReplyLate) {
  GameHarness silent(openMap(), {.mode = PlayMode::Lockstep});
  silent.playAnswering([](int k, const std::string&) { return std::string(k == 1 ? "a" : ""); });
  ASSERT_EQ(silent.recorder.reports.size(), 2u);
  for (const RunReport& report : silent.recorder.reports) EXPECT_EQ(report.commands, 0);
  // 31 telemetry messages a run (t = 0, 100, ..., 3000); the instant that
  // ends the game waits for nothing, so the last run's last reply is not late.
  EXPECT_EQ(silent.recorder.reports[0].lateReplies, 31);
  EXPECT_EQ(silent.recorder.reports[1].lateReplies, 30);
}

}  // namespace
}  // namespace rover
