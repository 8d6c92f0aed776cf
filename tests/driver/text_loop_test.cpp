#include "driver/text_loop.h"

#include <gtest/gtest.h>

#include "base/failure.h"
#include "game_fixture.h"

namespace rover {
namespace {

using testing::GameHarness;
using testing::makeTestMap;
using testing::TestRun;

struct SleepCase {
  std::int64_t remainingMicros;
  int sleeps;
  long sleptMicros;  // of the sleep, when there is one
};

TEST(TextLoop, SleepsOnlyWhenTheNextEventIsMoreThanFiveMillisecondsAway) {
  const std::vector<SleepCase> cases = {
      {3000, 0, 0}, {5000, 0, 0}, {5001, 1, 5001}, {7000, 1, 7000}, {1000000, 1, 1000000},
  };
  for (const SleepCase& c : cases) {
    SCOPED_TRACE(c.remainingMicros);
    GameHarness h(makeTestMap(60000, {TestRun{}}));
    h.game.start();
    h.clock.set(h.game.nextDue() - TimeValue::fromNanos(c.remainingMicros * 1000));
    textLoopStep(h.game, h.clock);
    EXPECT_EQ(h.clock.sleeps(), c.sleeps);
    if (c.sleeps > 0) {
      EXPECT_EQ(h.clock.lastSleepMicros(), c.sleptMicros);
    }
    EXPECT_EQ(h.game.roundCounter(), 0);  // nothing is performed early
  }
}

TEST(TextLoop, SleepTruncatesToWholeMicrosecondsAndThenRunsTheEvent) {
  GameHarness h(makeTestMap(60000, {TestRun{}}));
  h.game.start();
  const TimeValue due = h.game.nextDue();
  h.clock.set(due - TimeValue::fromNanos(7000999));
  textLoopStep(h.game, h.clock);
  EXPECT_EQ(h.clock.lastSleepMicros(), 7000);
  // The fake sleep ends 999 ns short; the next passes poll until the due time.
  textLoopStep(h.game, h.clock);
  EXPECT_EQ(h.game.roundCounter(), 0);
  h.clock.set(due);
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
