#include "driver/game_session.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "game_fixture.h"

namespace rover {
namespace {

using testing::GameHarness;
using testing::makeTestMap;
using testing::TestRun;

struct SleepCase {
  std::int64_t remainingNanos;
  int sleeps;
};

// More than 5 ms away: one sleep, to the due time itself; closer: no sleep.
TEST(TextLoop, SleepsToTheDueTimeOnlyWhenItIsMoreThanFiveMillisecondsAway) {
  const std::vector<SleepCase> cases = {
      {3000000, 0}, {5000000, 0}, {5000001, 1}, {7000999, 1}, {1000000000, 1},
  };
  for (const SleepCase& c : cases) {
    SCOPED_TRACE(c.remainingNanos);
    GameHarness h(makeTestMap(60000, {TestRun{}}));
    h.game.start();
    const TimeValue due = h.game.nextDue();
    h.clock.set(due - TimeValue::fromNanos(c.remainingNanos));
    textLoopStep(h.game, h.clock);
    EXPECT_EQ(h.clock.sleeps(), c.sleeps);
    if (c.sleeps > 0) {
      EXPECT_EQ(h.clock.lastSleepUntil(), due);
    }
    EXPECT_EQ(h.game.roundCounter(), 0);  // nothing is performed early
  }
}

TEST(TextLoop, AfterTheSleepTheEventRuns) {
  GameHarness h(makeTestMap(60000, {TestRun{}}));
  h.game.start();
  const TimeValue due = h.game.nextDue();
  h.clock.set(due - TimeValue::fromNanos(7000999));
  textLoopStep(h.game, h.clock);
  EXPECT_EQ(h.clock.now(), due);
  EXPECT_EQ(h.game.roundCounter(), 0);
  textLoopStep(h.game, h.clock);
  EXPECT_EQ(h.game.roundCounter(), 1);
  EXPECT_EQ(h.clock.sleeps(), 1);
}

TEST(TextLoop, EmptyQueueIsAnInternalFailure) {
  GameHarness h(makeTestMap(60000, {TestRun{}}));
  try {
    textLoopStep(h.game, h.clock);
    FAIL() << "expected a failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::Option);
  }
}

}  // namespace
}  // namespace rover
