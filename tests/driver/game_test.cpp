#include "driver/game.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/failure.h"
#include "base/fixed_point_text.h"
#include "game_fixture.h"
#include "sim/motion.h"

namespace rover {
namespace {

using testing::GameHarness;
using testing::makeTestMap;
using testing::TestRun;

const std::string kInit60s = "I 100.000 100.000 60000 5.000 10.000 10.000 20.0 60.0 ;";

// Starts the game and its first run; returns the first run's start time.
TimeValue startFirstRun(GameHarness& h) {
  const TimeValue gameStart = h.clock.now();
  h.game.start();
  EXPECT_EQ(h.game.nextDue(), gameStart + h.ms(1000));
  h.runAt(gameStart, 1000);
  EXPECT_EQ(h.game.roundCounter(), 1);
  return h.game.runStart();
}

TEST(Game, QuietRunEndsAtTheTimeLimit) {
  GameHarness h(makeTestMap(250, {TestRun{}}));
  const TimeValue t0 = startFirstRun(h);
  EXPECT_TRUE(h.game.runInPlay());
  for (int ms = 10; ms <= 250; ms += 10) h.runAt(t0, ms);

  EXPECT_EQ(h.transport.sent(),
            "I 100.000 100.000 250 5.000 10.000 10.000 20.0 60.0 ;"
            "T 0 -- 30.000 30.000 0.0 0.000 ;"
            "T 100 -- 30.000 30.000 0.0 0.000 ;"
            "T 200 -- 30.000 30.000 0.0 0.000 ;"
            "E 250 350 ;");
  EXPECT_EQ(h.stdoutText.text(), "starting round\nRound 1: time limit exceeded; score = 350\n");
  ASSERT_EQ(h.game.results().size(), 1u);
  EXPECT_EQ(h.game.results()[0].outcome, Outcome::TimeLimitExceeded);
  EXPECT_EQ(h.game.results()[0].scoreMillis, 350);
  EXPECT_FALSE(h.game.runInPlay());
  EXPECT_TRUE(h.game.finished());
}

TEST(Game, EveryOutcomeIsScoredAndReportedInRunOrder) {
  // Run 1 starts inside the home circle, run 2 in the crater, run 3 on top of
  // a Martian: each ends in the first physics step, at run time 10 ms.
  GameHarness h(makeTestMap(60000, {TestRun{{1.0, 1.0, 0.0}, {}}, TestRun{{20.0, -20.0, 0.0}, {}},
                                    TestRun{{-30.0, 0.0, 0.0}, {{-30.0, 0.0, 90.0}}}}));
  const TimeValue t1 = startFirstRun(h);
  h.runAt(t1, 10);
  h.runAt(t1, 20);  // the stale physics step of run 1 comes due and is dropped
  const TimeValue start2 = h.game.nextDue();
  EXPECT_EQ(start2, t1 + h.ms(1010));
  h.clock.set(start2);
  h.game.runDueEvents();
  EXPECT_EQ(h.game.roundCounter(), 2);
  h.runAt(start2, 10);
  const TimeValue start3 = h.game.nextDue() + h.ms(-10) + h.ms(1000);  // past the stale step
  h.clock.set(start3);
  h.game.runDueEvents();
  EXPECT_EQ(h.game.roundCounter(), 3);
  EXPECT_EQ(h.game.runStart(), start3);
  h.runAt(start3, 10);

  EXPECT_EQ(h.transport.sent(),
            kInit60s +
                "T 0 -- 1.000 1.000 0.0 0.000 h 0.000 0.000 5.000 ;S 10 ;E 10 10 ;"
                "T 0 -- 20.000 -20.000 0.0 0.000 c 20.000 -20.000 3.000 ;C 10 ;E 10 120990 ;"
                "T 0 -- -30.000 0.000 0.0 0.000 m -30.000 0.000 90.0 0.000 ;K 10 ;E 10 120590 ;");
  EXPECT_EQ(h.stdoutText.text(),
            "starting round\nRound 1: reached home; score = 10\n"
            "starting round\nRound 2: crashed into crater; score = 120990\n"
            "starting round\nRound 3: killed by Martian; score = 120590\n");
  ASSERT_EQ(h.game.results().size(), 3u);
  EXPECT_EQ(h.game.results()[0].outcome, Outcome::ReachedHome);
  EXPECT_EQ(h.game.results()[1].outcome, Outcome::CrashedIntoCrater);
  EXPECT_EQ(h.game.results()[2].outcome, Outcome::KilledByMartian);
  EXPECT_EQ(h.game.results()[2].scoreMillis, 120590);
  EXPECT_TRUE(h.game.finished());
}

TEST(Game, RunEndInsideAStepLeavesOneStalePhysicsTickThatIsDropped) {
  GameHarness h(makeTestMap(60000, {TestRun{{1.0, 1.0, 0.0}, {}}, TestRun{}}));
  const TimeValue t0 = startFirstRun(h);
  h.runAt(t0, 10);
  EXPECT_FALSE(h.game.runInPlay());
  // The step that ended the run still queued its successor...
  EXPECT_EQ(h.game.nextDue(), t0 + h.ms(20));
  const std::size_t performedBefore = h.performed.size();
  const std::string sentBefore = h.transport.sent();
  h.runAt(t0, 20);
  // ...which does nothing when it comes due, and is not queued again.
  EXPECT_EQ(h.performed.size(), performedBefore);
  EXPECT_EQ(h.transport.sent(), sentBefore);
  EXPECT_EQ(h.game.nextDue(), t0 + h.ms(1010));
}

TEST(Game, NoWorkOfARunFollowsItsEndEvenWhenAlreadyDue) {
  // The run ends in its first step, but the clock reading lies 300 ms later:
  // telemetry, Martian decisions and polls due in between must not happen.
  GameHarness h(makeTestMap(60000, {TestRun{{1.0, 1.0, 0.0}, {}}, TestRun{}}));
  const TimeValue gameStart = h.clock.now();
  h.game.start();
  h.runAt(gameStart, 1300);
  const TimeValue t0 = gameStart + h.ms(1000);
  std::vector<std::pair<ActionKind, std::string>> trace;
  for (const ScheduledEvent& e : h.performed)
    trace.emplace_back(e.action.kind, integerText((e.due - t0).wholeMillis()));
  // With a long time limit the tree puts the first physics step before the
  // first Martian decision; the step ends the run, so that decision, already
  // due, never happens.
  const std::vector<std::pair<ActionKind, std::string>> expected = {
      {ActionKind::StartRound, "0"}, {ActionKind::TelemetryTick, "0"}, {ActionKind::PhysicsTick, "10"}};
  EXPECT_EQ(trace, expected);
  EXPECT_EQ(h.transport.receiveCalls(), 1u);  // only the drain at the run start
  // The pause counts from the clock reading, not from the end of the run.
  EXPECT_EQ(h.game.nextDue(), gameStart + h.ms(2300));
}

TEST(Game, CatchUpAfterAStallPerformsEveryMissedEventWithItsOwnTime) {
  MapSpec map = makeTestMap(60000, {TestRun{{-30.0, 30.0, 0.0}, {{-30.0, -30.0, 0.0}}}});
  map.runs[0].startState.speed = 5.0;
  const MotionState start = map.runs[0].startState;
  GameHarness h(std::move(map));
  const TimeValue t0 = startFirstRun(h);
  const std::size_t receivesBefore = h.transport.receiveCalls();
  h.performed.clear();
  h.transport.clearSent();
  h.runAt(t0, 1000);  // one clock reading, one second late

  EXPECT_EQ(h.count(ActionKind::PhysicsTick), 100);
  EXPECT_EQ(h.count(ActionKind::MartianTick), 20);
  EXPECT_EQ(h.count(ActionKind::CommandPoll), 20);
  EXPECT_EQ(h.count(ActionKind::TelemetryTick), 10);
  EXPECT_EQ(h.transport.receiveCalls() - receivesBefore, 20u);
  // Each periodic kind ran on its own grid of due times, in time order.
  for (std::size_t i = 1; i < h.performed.size(); ++i) EXPECT_LE(h.performed[i - 1].due, h.performed[i].due);
  int physics = 0;
  for (const ScheduledEvent& e : h.performed) {
    if (e.action.kind == ActionKind::PhysicsTick) {
      EXPECT_EQ(e.due, t0 + h.ms(10 * ++physics));
    }
  }
  // Ten telemetry messages stamped 100 .. 1000, the rover having moved
  // exactly 100 steps of 0.01 s.
  MotionState expected = start;
  const MotionModel model = makeMotionModel(h.map.vehicleParams);
  for (int i = 0; i < 100; ++i) expected = stepMotion(model, ControlState{}, expected, 0.01);
  const std::string sent = h.transport.sent();
  for (int ms = 100; ms <= 1000; ms += 100) {
    EXPECT_NE(sent.find("T " + std::to_string(ms) + " "), std::string::npos) << ms;
  }
  EXPECT_NE(sent.find("T 1000 -- " + formatReal(expected.position.x, 3) + " 30.000 "), std::string::npos)
      << sent;
  EXPECT_EQ(h.game.nextDue(), t0 + h.ms(1010));
}

TEST(Game, BounceSendsAnExtraTelemetryAtTheStepTime) {
  // x = 50.5 lies 1 beyond the wall bound 49.5: the first step pushes the
  // rover back to 49.4 and reports the bounce.
  GameHarness h(makeTestMap(60000, {TestRun{{50.5, 0.0, 0.0}, {}}}));
  const TimeValue t0 = startFirstRun(h);
  for (int ms = 10; ms <= 100; ms += 10) h.runAt(t0, ms);
  EXPECT_EQ(h.transport.sent(), kInit60s +
                                    "T 0 -- 50.500 0.000 0.0 0.000 ;"
                                    "B 10 ;T 10 -- 49.400 0.000 0.0 0.000 ;"
                                    "T 100 -- 49.400 0.000 0.0 0.000 ;");
  EXPECT_EQ(h.count(ActionKind::TelemetryNow), 1);
}

TEST(Game, CommandsOfThePauseAreDiscardedAndLaterOnesApplied) {
  GameHarness h(makeTestMap(60000, {TestRun{}}));
  const TimeValue gameStart = h.clock.now();
  h.game.start();
  h.transport.pushInput("a;a;l;");
  h.runAt(gameStart, 1000);
  const TimeValue t0 = h.game.runStart();
  h.transport.pushInput("l;");
  for (int ms = 10; ms <= 40; ms += 10) h.runAt(t0, ms);
  EXPECT_EQ(h.game.world().roverControl.turn, 0);  // not polled before 50 ms
  h.runAt(t0, 50);
  EXPECT_EQ(h.game.world().roverControl.turn, 1);
  EXPECT_EQ(h.game.world().roverControl.accel, 0);
  const std::string sent = h.transport.sent();
  EXPECT_NE(sent.find("T 0 -- "), std::string::npos);
}

TEST(Game, TooManyStaleCommandsFailTheRunStart) {
  const std::vector<std::pair<int, bool>> cases = {{999, false}, {1000, true}};
  for (const auto& [commands, fails] : cases) {
    SCOPED_TRACE(commands);
    GameHarness h(makeTestMap(60000, {TestRun{}}));
    const TimeValue gameStart = h.clock.now();
    h.game.start();
    std::string input;
    for (int i = 0; i < commands; ++i) input += "a;";
    h.transport.pushInput(input);
    h.clock.set(gameStart + h.ms(1000));
    if (fails) {
      EXPECT_THROW(h.game.runDueEvents(), Failure);
      EXPECT_EQ(h.transport.sent().find("T "), std::string::npos);
    } else {
      h.game.runDueEvents();
      EXPECT_EQ(h.game.roundCounter(), 1);
    }
  }
}

struct LimitCase {
  std::string limit;
  std::string sentAfterInit;
  std::string resultLine;
};

TEST(Game, ZeroAndNegativeTimeLimitsEndTheRunBeforeAnyTelemetry) {
  const std::vector<LimitCase> cases = {
      // At exactly 0 the tree performs the time limit before the telemetry.
      {"0", "E 0 100 ;", "Round 1: time limit exceeded; score = 100\n"},
      {"-5", "E -5 95 ;", "Round 1: time limit exceeded; score = 95\n"},
      {"-250", "E -250 -150 ;", "Round 1: time limit exceeded; score = -150\n"},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.limit);
    GameHarness h(makeTestMap(mpz_class(c.limit), {TestRun{}}));
    startFirstRun(h);
    const std::string sent = h.transport.sent();
    EXPECT_EQ(sent.substr(sent.find(';') + 1), c.sentAfterInit);
    EXPECT_EQ(h.stdoutText.text(), "starting round\n" + c.resultLine);
    EXPECT_TRUE(h.game.finished());
  }
}

TEST(Game, HugeTimeLimitIsSentExactlyAndNeverFires) {
  const mpz_class limit("1000000000000000000000000000000");
  GameHarness h(makeTestMap(limit, {TestRun{}}));
  const TimeValue t0 = startFirstRun(h);
  h.runAt(t0, 5000);
  EXPECT_EQ(h.transport.sent().rfind("I 100.000 100.000 1000000000000000000000000000000 5.000 ", 0), 0u);
  EXPECT_TRUE(h.game.runInPlay());
  EXPECT_EQ(h.count(ActionKind::TimeLimit), 0);
  EXPECT_EQ(h.count(ActionKind::TelemetryTick), 51);
}

TEST(Game, WindowModeIdlesAfterTheLastRun) {
  GameHarness h(makeTestMap(30, {TestRun{}}), {.exitWhenDone = false});
  const TimeValue t0 = startFirstRun(h);
  h.runAt(t0, 100);
  EXPECT_FALSE(h.game.finished());
  EXPECT_EQ(h.game.results().size(), 1u);
  EXPECT_TRUE(h.game.queueEmpty());
  const std::string sent = h.transport.sent();
  h.runAt(t0, 5000);
  EXPECT_EQ(h.transport.sent(), sent);
  EXPECT_EQ(h.stdoutText.text(), "starting round\nRound 1: time limit exceeded; score = 130\n");
}

}  // namespace
}  // namespace rover
