#include "app/server_run.h"

#include <cstdio>
#include <cstdlib>

#include "driver/clock.h"
#include "driver/top_level_report.h"
#include "map/map_loader.h"
#include "net/inherited_listener.h"
#include "record/map_bytes.h"
#include "view/callback_failure.h"
#include "view/window.h"

namespace rover {

void ServerRun::run(const std::string& programName, const std::vector<std::string>& arguments) {
  settings_ = parseCommandLine(arguments);
  if (settings_.showWindow) {
    std::vector<std::string> glutArguments{programName};
    glutArguments.insert(glutArguments.end(), arguments.begin(), arguments.end());
    initGlut(glutArguments);
  }
  map_.emplace(loadMap(settings_.mapFile));
  systemErrorForm_ = true;
  prepareFiles();

  listener_ = inheritedOrOpenListener(settings_.port);
  connection_ = acceptClient(listener_);

  // The window shows each run; standard output then gets only the result lines.
  if (settings_.showWindow) listeners_.add(*(scene_ = makeSceneListener()));
  listeners_.add(text_.emplace(
      stdout, settings_.showWindow ? TextListener::RunStarts::Silent : TextListener::RunStarts::Announced));
  // Real time says nothing before a failure's line, so only lockstep hears the replies.
  if (settings_.verbose && settings_.lockstep) {
    listeners_.add(verboseReplies_.emplace(stderr, replyTimeoutMillis(settings_)));
  }
  clock_ = settings_.lockstep ? std::unique_ptr<Clock>(std::make_unique<VirtualClock>())
                              : std::make_unique<SteadyClock>();
  LockstepOptions lockstep = LockstepOptions::withTimeoutMillis(replyTimeoutMillis(settings_));
  lockstep.maxLateInARow = settings_.maxLateInARow.value_or(0);
  session_.emplace(SessionSetup{.map = *map_,
                                .transport = connection_->transport(),
                                .output = connection_->output(),
                                .clock = *clock_,
                                .listener = listeners_,
                                .record = record_.get(),
                                .mode = settings_.lockstep ? PlayMode::Lockstep : PlayMode::RealTime,
                                .lockstep = lockstep,
                                .timeReplies = timing_ != nullptr || verboseReplies_.has_value(),
                                .receives = timing_.get(),
                                .seed = settings_.seed,
                                .exitWhenDone = !settings_.showWindow});
  if (timing_) timing_->watch(session_->game(), *clock_);
  if (settings_.showWindow) playWindow();
  settings_.lockstep ? session_->playVirtualTime() : session_->playRealTime();
  closeServer();
  listeners_.gameEnded({GameEnding::Status::Completed, "", std::nullopt});
}

void ServerRun::prepareFiles() {
  if (!settings_.resultsPath && !settings_.recordPath && !settings_.timingPath) return;
  GameInfo info;
  info.lockstep = settings_.lockstep;
  info.seed = settings_.seed;
  if (settings_.lockstep) info.replyTimeoutMillis = replyTimeoutMillis(settings_);
  // A second, separate read: the loader's reading and its failures stay as they are.
  info.map = readMapBytes(settings_.mapFile);

  // Every output passes the rules before any is created or emptied.
  outputs_.protect("the map file", settings_.mapFile);
  OutputFile* record = nullptr;
  OutputFile* results = nullptr;
  OutputFile* timing = nullptr;
  if (settings_.recordPath) record = &outputs_.claim("--record", *settings_.recordPath, OutputKind::Streamed);
  if (settings_.resultsPath)
    results = &outputs_.claim("--results", *settings_.resultsPath, OutputKind::Whole);
  if (settings_.timingPath) timing = &outputs_.claim("--timing", *settings_.timingPath, OutputKind::Whole);
  outputs_.openAll();

  if (record) {
    // In real time the lines reach the file at every T at no cost to the
    // game; in lockstep the .gz stream's flush at every T costs time and
    // size, so only a game that is watched live pays for it.
    const bool everyTelemetry = !settings_.lockstep || settings_.liveRecord;
    recordSink_ = std::make_unique<RecordSink>(record->takeDescriptor(), record->path(), everyTelemetry);
    record_ = std::make_unique<RecordWriter>(*recordSink_, info, *map_);
    listeners_.add(*record_);
  }
  // After the record: when the record cannot be finished, the results file
  // says the game failed by it (ListenerList::gameEnded).
  if (results) listeners_.add(*(results_ = std::make_unique<ResultsWriter>(*results, info)));
  if (timing) listeners_.add(*(timing_ = std::make_unique<TimingWriter>(*timing, info)));
}

std::string ServerRun::explanation(const std::optional<Failure>& failure) const {
  return settings_.verbose && failure ? verboseFailureLine(*failure) : "";
}

void ServerRun::playWindow() {
  setCallbackFailureHook([this](const std::string& line, const std::optional<Failure>& failure) {
    endGameWithFailure(&session_->game(), listeners_, line, failure);
    return explanation(failure);
  });
  runWindowMode(session_->game(), *clock_, settings_.mapFile, [this] {
    listeners_.gameEnded({GameEnding::Status::Quit, "", std::nullopt});
    closeServer();
    std::exit(0);
  });
}

void ServerRun::closeServer() {
  connection_->close();
  closeSocket(listener_);
  std::fflush(stdout);
  std::fflush(stderr);
}

void ServerRun::fail(const Failure& failure) {
  endGameWithFailure(session_ ? &session_->game() : nullptr, listeners_,
                     topLevelLine(failure, systemErrorForm_), failure);
  // A results file that could not be written leaves no temporary either.
  outputs_.discardTemporaries();
  topLevelReport(failure, systemErrorForm_, stderr, explanation(failure));
}

}  // namespace rover
