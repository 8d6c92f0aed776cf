#include "driver/lockstep_loop.h"

#include "base/failure.h"

namespace rover {

void lockstepLoop(Game& game, VirtualClock& clock) {
  while (!game.finished()) {
    if (game.queueEmpty()) raiseKind(FailureKind::Option);
    clock.advanceTo(game.nextDue());
    game.runDueEvents();
    game.endInstant();
  }
}

}  // namespace rover
