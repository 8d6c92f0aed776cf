#include "driver/text_loop.h"

#include "base/failure.h"

namespace rover {

void textLoopStep(Game& game, Clock& clock) {
  // During play the periodic events keep themselves queued, and between runs
  // the next StartRound is queued, so an empty queue means a broken schedule.
  if (game.queueEmpty()) raiseKind(FailureKind::Option);
  const TimeValue remaining = game.nextDue() - clock.now();
  if (remaining > TimeValue::fromMillis(kSleepThresholdMillis)) {
    clock.sleepMicros(remaining);
  } else {
    game.runDueEvents();
  }
}

void textLoop(Game& game, Clock& clock) {
  while (!game.finished()) textLoopStep(game, clock);
}

}  // namespace rover
