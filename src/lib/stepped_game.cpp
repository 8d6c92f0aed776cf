#include "lib/stepped_game.h"

#include <exception>

#include "base/failure.h"
#include "driver/top_level_report.h"
#include "record/game_info.h"

namespace rover {
namespace {

constexpr std::string_view kEmptyReply = ";";

void resetInfo(rover_step_info& info) {
  info = rover_step_info{};
  info.outcome = -1;
}

void addEvent(rover_step_info& info, char letter) {
  std::size_t at = 0;
  while (info.events[at] != '\0') ++at;
  if (at + 1 < sizeof info.events) info.events[at] = letter;
}

std::int64_t fitting(const mpz_class& value, const char* what) {
  if (!value.fits_slong_p()) raiseFail(std::string(what) + " does not fit in 64 bits");
  return value.get_si();
}

}  // namespace

SteppedGame::SteppedGame(const LibraryMap& map, std::uint64_t seed, const std::string* recordPath)
    : map_(map.records) {
  listeners_.add(messages_);
  if (recordPath != nullptr) {
    GameInfo info;
    info.lockstep = true;
    info.seed = seed;
    info.replyTimeoutMillis = 0;
    info.map = map.bytes;
    record_.emplace(recordFile_.emplace(*recordPath, map.device, map.inode), info, map_);
    listeners_.add(*record_);
  }
  session_.emplace(SessionSetup{.map = map_,
                                .transport = transport_,
                                .output = output_,
                                .clock = clock_,
                                .listener = listeners_,
                                .record = record_ ? &*record_ : nullptr,
                                .mode = PlayMode::Lockstep,
                                .lockstep = LockstepOptions::withTimeoutMillis(0),
                                .seed = seed,
                                .exitWhenDone = true});
}

template <class Play>
void SteppedGame::guarded(Play play) {
  if (phase_ == Phase::Failed) raiseFail("the game has failed already: " + failure_);
  std::optional<Failure> failure;
  try {
    play();
    return;
  } catch (const Failure& raised) {
    failure = raised;
  } catch (const std::exception& error) {
    failure = failureFor(error);
  }
  phase_ = Phase::Failed;
  failure_ = failure->what();
  endGameWithFailure(&session_->game(), listeners_, topLevelLine(*failure, true), failure);
  throw *failure;
}

void SteppedGame::nextRun(rover_step_info& info) {
  guarded([&] {
    if (phase_ == Phase::NotStarted) {
      session_->game().start();
      phase_ = Phase::RunEnded;  // as between two runs
    }
    while (phase_ == Phase::AwaitingReply) {
      transport_.give(kEmptyReply);
      advance(info);
    }
    if (phase_ == Phase::GameOver) {
      resetInfo(info);
      info.stop = ROVER_GAME_END;
      return;
    }
    advance(info);
    info.started = info.stop == ROVER_TELEMETRY ? 1 : 0;
  });
}

void SteppedGame::step(std::string_view reply, rover_step_info& info) {
  if (phase_ != Phase::AwaitingReply && phase_ != Phase::Failed)
    raiseFail("no telemetry awaits a reply: start the next run first");
  guarded([&] {
    transport_.give(reply);
    advance(info);
  });
}

void SteppedGame::advance(rover_step_info& info) {
  resetInfo(info);
  for (;;) {
    while (messages_.pending()) {
      SentMessage& message = messages_.take();
      switch (message.text.front()) {
        case 'I':
          initText_.swap(message.text);
          break;
        case 'T':
          telemetryText_.swap(message.text);  // no copy; the message's slot gets the old storage
          seenTelemetry_ = true;
          read_ = false;
          info.stop = ROVER_TELEMETRY;
          info.run = message.run;
          info.time_ms = messageTime(telemetryText_);
          info.covered_ms = info.time_ms - lastTime_;
          lastTime_ = info.time_ms;
          phase_ = Phase::AwaitingReply;
          return;
        case 'E':
          endRunShown(message, info);
          return;
        default:  // B, C, K, S
          addEvent(info, message.text.front());
      }
    }
    if (instantOpen_) closeInstant();
    if (session_->game().finished()) {
      phase_ = Phase::GameOver;
      info.stop = ROVER_GAME_END;
      return;
    }
    runInstant();
  }
}

void SteppedGame::endRunShown(const SentMessage& end, rover_step_info& info) {
  addEvent(info, 'E');
  // The "E" is the instant's last message, and every "T" before it has its
  // reply: the instant can end, which closes the run.
  closeInstant();
  Game& game = session_->game();
  const RunReport& report = game.results().back();
  info.stop = ROVER_RUN_END;
  info.run = end.run;
  info.time_ms = messageTime(end.text);
  info.covered_ms = info.time_ms - lastTime_;
  info.outcome = static_cast<std::int32_t>(report.outcome);
  info.score_ms = fitting(report.scoreMillis, "the run's score");
  lastTime_ = 0;
  phase_ = Phase::RunEnded;
  if (game.finished()) listeners_.gameEnded({GameEnding::Status::Completed, "", std::nullopt});
}

const TelemetryFields* SteppedGame::telemetry(std::size_t objects) const {
  if (!seenTelemetry_) return nullptr;
  const bool tooShort = read_ && readLimit_ < objects && telemetry_.objects.size() < telemetry_.objectCount;
  if (!read_ || tooShort) {
    readTelemetry(telemetryText_, telemetry_, objects);
    read_ = true;
    readLimit_ = objects;
  }
  return &telemetry_;
}

void SteppedGame::runInstant() {
  Game& game = session_->game();
  // As in the server's loop, an empty queue means a broken schedule.
  if (game.queueEmpty()) raiseKind(FailureKind::Option);
  clock_.sleepUntil(game.nextDue());
  messages_.clear();
  game.runDueEvents();
  instantOpen_ = true;
}

void SteppedGame::closeInstant() {
  instantOpen_ = false;
  session_->game().endInstant();
}

}  // namespace rover
