#include "driver/game_session.h"

#include "base/failure.h"
#include "driver/text_loop.h"
#include "net/realtime_input.h"

namespace rover {

GameSession::GameSession(const SessionSetup& setup) : clock_(setup.clock) {
  Transport* input = &setup.transport;
  if (setup.record != nullptr) input = &recorded_.emplace(setup.transport, *setup.record);
  if (setup.mode == PlayMode::Lockstep) {
    auto lockstep = std::make_unique<LockstepInput>(*input, setup.lockstep);
    lockstep->setObserver(setup.record);
    input_ = std::move(lockstep);
  } else {
    input_ = std::make_unique<RealtimeInput>(reader_.emplace(*input));
  }
  game_ = std::make_unique<Game>(GameSetup{.map = setup.map,
                                           .output = setup.output,
                                           .input = *input_,
                                           .clock = setup.clock,
                                           .listener = setup.listener,
                                           .mode = setup.mode,
                                           .exitWhenDone = setup.exitWhenDone,
                                           .seed = setup.seed});
}

void GameSession::playRealTime() {
  game_->start();
  textLoop(*game_, clock_);
}

void GameSession::playVirtualTime() {
  game_->start();
  while (!game_->finished()) {
    // As in real time, an empty queue means a broken schedule.
    if (game_->queueEmpty()) raiseKind(FailureKind::Option);
    clock_.sleepUntil(game_->nextDue());  // a virtual clock jumps
    game_->runDueEvents();
    game_->endInstant();
  }
}

}  // namespace rover
