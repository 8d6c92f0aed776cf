#include "driver/text_loop.h"

#include "base/failure.h"

namespace rover {

void textLoopStep(Game& game, Clock& clock) {
  // During play the periodic events keep themselves queued, and between runs
  // the next StartRound is queued, so an empty queue means a broken schedule.
  if (game.queueEmpty()) raiseKind(FailureKind::Option);
  const TimeValue next = game.nextDue();
  const TimeValue remaining = next - clock.now();
  if (remaining > TimeValue::fromMillis(kSleepThresholdMillis)) {
    // To the due time itself, not for a measured duration: the wake-up does
    // not drift by the time spent between reading the clock and sleeping.
    clock.sleepUntil(next);
  } else {
    game.runDueEvents();
  }
}

void textLoop(Game& game, Clock& clock) {
  while (!game.finished()) textLoopStep(game, clock);
}

}  // namespace rover
