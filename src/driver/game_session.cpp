#include "driver/game_session.h"

#include "base/failure.h"
#include "net/realtime_input.h"

namespace rover {

void textLoopStep(Game& game, Clock& clock) {
  // During play the periodic events keep themselves queued, and between runs
  // the next StartRound is queued, so an empty queue means a broken schedule.
  if (game.queueEmpty()) raiseKind(FailureKind::Option);
  const TimeValue next = game.nextDue();
  if (next - clock.now() > TimeValue::fromMillis(kSleepThresholdMillis)) {
    // To the due time itself, not for a measured duration: the wake-up does
    // not drift by the time spent between reading the clock and sleeping.
    clock.sleepUntil(next);
  } else {
    game.runDueEvents();
  }
}

GameSession::GameSession(const SessionSetup& setup) : clock_(setup.clock), replyTimes_(setup.listener) {
  Transport* input = &setup.transport;
  if (setup.record != nullptr) input = &recorded_.emplace(*input, *setup.record);
  if (setup.receives != nullptr) input = &observed_.emplace(*input, *setup.receives);
  if (setup.mode == PlayMode::Lockstep) {
    auto lockstep = std::make_unique<LockstepInput>(*input, setup.lockstep);
    lockstep->setObserver(setup.record);
    if (setup.timeReplies) lockstep->setTimingObserver(&replyTimes_);
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
  while (!game_->finished()) textLoopStep(*game_, clock_);
}

void GameSession::playVirtualTime(const std::function<void()>& afterEvents) {
  game_->start();
  while (!game_->finished()) {
    // As in real time, an empty queue means a broken schedule.
    if (game_->queueEmpty()) raiseKind(FailureKind::Option);
    clock_.sleepUntil(game_->nextDue());  // a virtual clock jumps
    game_->runDueEvents();
    if (afterEvents) afterEvents();
    game_->endInstant();
  }
}

}  // namespace rover
