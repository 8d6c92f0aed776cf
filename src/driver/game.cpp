#include "driver/game.h"

#include <string>
#include <utility>

#include "net/messages.h"
#include "sim/world_step.h"

namespace rover {

namespace {

TimeValue millis(std::int64_t ms) {
  return TimeValue::fromMillis(ms);
}

constexpr double kStepSeconds = 0.01;

}  // namespace

Game::Game(MapSpec& map, OutputBuffer& output, CommandReader& commands, Clock& clock,
           RoundAnnouncer& announcer, bool exitWhenDone, std::function<void()> quit, std::FILE* resultStream)
    : map_(map),
      output_(output),
      commands_(commands),
      clock_(clock),
      announcer_(announcer),
      exitWhenDone_(exitWhenDone),
      quit_(std::move(quit)),
      resultStream_(resultStream),
      rules_(makeWorldRules(map)),
      view_(makeViewEllipse(map.vehicleParams)),
      steer_(makeSteerConstants(map.martianParams)) {}

void Game::start() {
  sendInit(output_, map_);
  schedule(ActionKind::StartRound, clock_.now() + millis(kPauseMillis));
}

void Game::runDueEvents() {
  // One clock reading per call: events that fell behind are all performed
  // now, back to back, each with its own due time.
  const TimeValue now = clock_.now();
  while (!queue_.empty() && !(now < queue_.min().due)) {
    perform(queue_.popMin());
  }
}

void Game::schedule(ActionKind kind, const TimeValue& due) {
  queue_.insert({due, {kind, roundCounter_}});
}

bool Game::isStale(const Action& action) const {
  return runFinished_ || action.round != roundCounter_;
}

void Game::perform(const ScheduledEvent& event) {
  const TimeValue& t = event.due;
  const ActionKind kind = event.action.kind;
  if (kind != ActionKind::StartRound && isStale(event.action)) return;
  switch (kind) {
    case ActionKind::StartRound:
      startRound(t);
      break;
    case ActionKind::PhysicsTick:
      physicsTick(t);
      schedule(kind, t + millis(kPhysicsPeriodMillis));
      break;
    case ActionKind::MartianTick:
      martianTick();
      schedule(kind, t + millis(kMartianPeriodMillis));
      break;
    case ActionKind::TelemetryTick:
      telemetry(t);
      schedule(kind, t + millis(kTelemetryPeriodMillis));
      break;
    case ActionKind::CommandPoll:
      pollInput(commands_, map_.world.roverControl);
      schedule(kind, t + millis(kCommandPeriodMillis));
      break;
    case ActionKind::TelemetryNow:
      telemetry(t);
      break;
    case ActionKind::TimeLimit:
      endRun(Outcome::TimeLimitExceeded, TimeValue::fromMillis(map_.timeLimitMillis));
      break;
  }
  if (observer_) observer_(event);
}

void Game::startRound(const TimeValue& t0) {
  drainCommands(commands_);
  runFinished_ = false;
  runStart_ = t0;
  ++roundCounter_;
  queue_.clear();
  startRun(map_, roundCounter_);
  announcer_.announceRound(map_);
  // The insertion order matters: it decides the order of equal due times.
  schedule(ActionKind::TelemetryTick, t0);
  schedule(ActionKind::CommandPoll, t0 + millis(kCommandPeriodMillis));
  schedule(ActionKind::MartianTick, t0 + millis(kPhysicsPeriodMillis));
  schedule(ActionKind::PhysicsTick, t0 + millis(kPhysicsPeriodMillis));
  schedule(ActionKind::TimeLimit, t0 + TimeValue::fromMillis(map_.timeLimitMillis));
}

void Game::physicsTick(const TimeValue& t) {
  const StepResult result = worldStep(map_.world, rules_, kStepSeconds);
  const TimeValue runTime = t - runStart_;
  if (result.event) sendEvent(output_, *result.event, runTime);
  if (result.outcome) {
    runFinished_ = true;
    endRun(*result.outcome, runTime);
  } else if (result.event == 'B') {
    schedule(ActionKind::TelemetryNow, t);
  }
}

void Game::martianTick() {
  for (Martian& martian : map_.world.martians) {
    decideMartian(martian, map_.world.rover, rules_, steer_, random_);
  }
}

void Game::telemetry(const TimeValue& t) {
  const std::vector<std::size_t> visible = sensePass(view_, map_.world, rules_);
  sendTelemetry(output_, t - runStart_, map_.world, visible);
}

void Game::endRun(Outcome outcome, const TimeValue& runTime) {
  runFinished_ = true;
  const TimeValue limit = TimeValue::fromMillis(map_.timeLimitMillis);
  TimeValue score;
  switch (outcome) {
    case Outcome::KilledByMartian:
      score = millis(600) + limit + limit - runTime;
      break;
    case Outcome::CrashedIntoCrater:
      score = millis(1000) + limit + limit - runTime;
      break;
    case Outcome::TimeLimitExceeded:
      score = limit + millis(100);
      break;
    case Outcome::ReachedHome:
      score = runTime;
      break;
  }
  const mpz_class scoreMillis = score.wholeMillis();
  const std::string line = "Round " + std::to_string(roundCounter_) + ": " + outcomeText(outcome) +
                           "; score = " + integerText(scoreMillis) + "\n";
  std::fputs(line.c_str(), resultStream_);
  std::fflush(resultStream_);
  results_.push_back({outcome, scoreMillis});
  sendEnd(output_, runTime, score);

  queue_.clear();
  if (roundCounter_ < static_cast<int>(map_.runs.size())) {
    // The pause is measured from now, not from the run's end time, so a run
    // that ended late in a catch-up pass still gets its full pause.
    schedule(ActionKind::StartRound, clock_.now() + millis(kPauseMillis));
  } else if (exitWhenDone_) {
    quit_();
  }
}

}  // namespace rover
