#include "driver/game.h"

#include <string>
#include <utility>

#include "base/failure.h"
#include "net/messages.h"
#include "sim/run_score.h"
#include "sim/world_step.h"

namespace rover {

namespace {

TimeValue millis(std::int64_t ms) {
  return TimeValue::fromMillis(ms);
}

constexpr double kStepSeconds = 0.01;

}  // namespace

std::string resultLine(const RunReport& report) {
  return "Round " + std::to_string(report.number) + ": " + outcomeText(report.outcome) +
         "; score = " + integerText(report.scoreMillis);
}

Game::Game(const GameSetup& setup)
    : map_(setup.map),
      output_(setup.output),
      input_(setup.input),
      clock_(setup.clock),
      listener_(setup.listener),
      closeAfterWait_(setup.mode == PlayMode::Lockstep),
      exitWhenDone_(setup.exitWhenDone),
      rules_(makeWorldRules(map_)),
      staticText_(*rules_.statics),
      view_(makeViewEllipse(map_.vehicleParams)),
      steer_(makeSteerConstants(map_.martianParams)),
      random_(setup.seed),
      world_(worldBeforeRuns(map_)) {}

Stamp Game::stamp(const TimeValue& t) const {
  if (roundCounter_ == 0) return {0, TimeValue::fromNanos(0)};
  return {roundCounter_, t - runStart_};
}

void Game::reportMessage(const TimeValue& t) {
  listener_.messageSent(stamp(t), output_.text());
  output_.clearText();
}

void Game::start() {
  sendInit(output_, map_);
  reportMessage(clock_.now());
  schedule(ActionKind::StartRound, clock_.now() + millis(kPauseMillis));
  listener_.gameStarted();
}

void Game::runDueEvents() {
  // One clock reading per call: events that fell behind are all performed
  // now, back to back, each with its own due time.
  const TimeValue now = clock_.now();
  while (!queue_.empty() && !(now < queue_.min().due)) {
    ScheduledEvent event = queue_.popMin();
    lastInstant_ = event.due;
    perform(event);
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
      telemetry(t, true);
      schedule(kind, t + millis(kTelemetryPeriodMillis));
      break;
    case ActionKind::CommandPoll:
      commandPoll(t);
      schedule(kind, t + millis(kCommandPeriodMillis));
      break;
    case ActionKind::TelemetryNow:
      telemetry(t, false);
      break;
    case ActionKind::TimeLimit:
      endRun(Outcome::TimeLimitExceeded, TimeValue::fromMillis(map_.timeLimitMillis));
      break;
  }
  if (observer_) observer_(event);
}

void Game::endInstant() {
  if (!finished_) {
    listener_.inputReading(InputPhase::Wait, stamp(lastInstant_));
    input_.awaitOwedReplies();
  }
  closeRun();
}

void Game::closeRun() {
  if (!closing_) return;
  RunReport report = std::move(*closing_);
  closing_.reset();
  report.lateReplies += input_.takeLateReplies();
  listener_.runClosed(report);
}

void Game::startRound(const TimeValue& t0) {
  listener_.runStarting(roundCounter_ + 1);
  listener_.inputReading(InputPhase::Drain, {roundCounter_ + 1, TimeValue::fromNanos(0)});
  input_.drain();
  runFinished_ = false;
  runStart_ = t0;
  ++roundCounter_;
  queue_.clear();
  world_ = startRun(map_, roundCounter_, rules_.statics);
  current_ = RunReport{};
  current_.number = roundCounter_;
  listener_.runStarted(map_, roundCounter_);
  // The insertion order matters: it decides the order of equal due times.
  schedule(ActionKind::TelemetryTick, t0);
  schedule(ActionKind::CommandPoll, t0 + millis(kCommandPeriodMillis));
  schedule(ActionKind::MartianTick, t0 + millis(kPhysicsPeriodMillis));
  schedule(ActionKind::PhysicsTick, t0 + millis(kPhysicsPeriodMillis));
  schedule(ActionKind::TimeLimit, t0 + TimeValue::fromMillis(map_.timeLimitMillis));
}

void Game::physicsTick(const TimeValue& t) {
  const StepResult result = worldStep(world_, rules_, kStepSeconds);
  const TimeValue runTime = t - runStart_;
  if (result.event == 'B' && result.contact) {
    ++(result.contact->wall ? current_.wallBounces : current_.boulderBounces);
  }
  listener_.stepped(stamp(t), world_, result);
  if (result.event) {
    sendEvent(output_, *result.event, runTime);
    reportMessage(t);
  }
  if (result.outcome) {
    runFinished_ = true;
    endRun(*result.outcome, runTime);
  } else if (result.event == 'B') {
    schedule(ActionKind::TelemetryNow, t);
  }
}

void Game::martianTick() {
  for (Martian& martian : world_.martians) {
    decideMartian(martian, world_.rover, *rules_.statics, steer_, random_);
  }
}

void Game::telemetry(const TimeValue& t, bool periodic) {
  const std::vector<std::size_t>& visible = sensing_.pass(view_, world_, rules_);
  listener_.sensed(stamp(t), world_, visible, sensing_.occluded(), periodic);
  sendTelemetry(output_, t - runStart_, world_, visible, staticText_);
  reportMessage(t);
  input_.telemetrySent(t);
}

void Game::commandPoll(const TimeValue& t) {
  applied_.clear();
  listener_.inputReading(InputPhase::Poll, stamp(t));
  input_.poll(t, world_.roverControl, applied_);
  if (applied_.empty()) return;
  current_.commands += static_cast<int>(applied_.size());
  listener_.commandsApplied(stamp(t), applied_);
}

void Game::endRun(Outcome outcome, const TimeValue& runTime) {
  runFinished_ = true;
  const TimeValue score = runScore(outcome, runTime, TimeValue::fromMillis(map_.timeLimitMillis));
  const mpz_class scoreMillis = score.wholeMillis();
  RunReport report = std::move(current_);
  current_ = RunReport{};
  report.outcome = outcome;
  report.scoreMillis = scoreMillis;
  report.runMillis = runTime.wholeMillis();
  report.resultLine = resultLine(report);
  // The result line comes out before the "E" message; the run closes once
  // the "E" is out, and in lockstep only after the replies owed are in.
  listener_.runResult(report);
  results_.push_back(report);
  closing_ = std::move(report);
  sendEnd(output_, runTime, score);
  reportMessage(runStart_ + runTime);
  if (!closeAfterWait_) closeRun();

  queue_.clear();
  if (roundCounter_ < static_cast<int>(map_.runs.size())) {
    // The pause is measured from now, not from the run's end time, so a run
    // that ended late in a catch-up pass still gets its full pause.
    schedule(ActionKind::StartRound, clock_.now() + millis(kPauseMillis));
  } else if (exitWhenDone_) {
    finished_ = true;
  }
}

}  // namespace rover
