#include "app/server_run.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "driver/lockstep_loop.h"
#include "driver/quit_server.h"
#include "driver/text_loop.h"
#include "driver/top_level_report.h"
#include "driver/virtual_clock.h"
#include "map/map_loader.h"
#include "net/lockstep_input.h"
#include "net/realtime_input.h"
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

  listener_ = openListener(settings_.port);
  connection_ = acceptClient(listener_);

  GameSetup setup;
  setup.map = &*map_;
  setup.output = &connection_->output();
  setup.listener = &listeners_;
  setup.seed = settings_.seed;
  if (settings_.showWindow) playWindow(setup);
  if (settings_.lockstep) {
    playLockstep(setup);
  } else {
    playText(setup);
  }
  closeServer(*connection_, listener_);
  finishFiles({GameEnding::Status::Completed, "", std::nullopt});
}

void ServerRun::prepareFiles() {
  if (!settings_.resultsPath && !settings_.recordPath) return;
  GameInfo info;
  info.lockstep = settings_.lockstep;
  info.seed = settings_.seed;
  if (settings_.lockstep) info.replyTimeoutMillis = replyTimeoutMillis(settings_);
  // A second, separate read: the loader's reading and its failures stay as they are.
  info.map = readMapBytes(settings_.mapFile);
  if (settings_.resultsPath) {
    results_ = std::make_unique<ResultsWriter>(*settings_.resultsPath, info);
    listeners_.add(*results_);
  }
  if (settings_.recordPath) {
    recordSink_ = std::make_unique<RecordSink>(*settings_.recordPath);
    record_ = std::make_unique<RecordWriter>(*recordSink_, info, *map_);
    listeners_.add(*record_);
  }
}

Transport& ServerRun::inputTransport() {
  if (!record_) return connection_->transport();
  recordedInput_ = std::make_unique<RecordingTransport>(connection_->transport(), *record_);
  return *recordedInput_;
}

void ServerRun::finishFiles(const GameEnding& ending) {
  if (filesFinished_) return;
  filesFinished_ = true;
  if (record_) record_->finish(ending);
  if (results_) results_->finish(ending);
}

void ServerRun::playText(GameSetup setup) {
  auto& text = ownedListeners_.emplace_back(std::make_unique<TextListener>());
  listeners_.add(*text);
  clock_ = std::make_unique<SteadyClock>();
  reader_ = std::make_unique<CommandReader>(inputTransport());
  input_ = std::make_unique<RealtimeInput>(*reader_);
  setup.clock = clock_.get();
  setup.input = input_.get();
  game_ = std::make_unique<Game>(setup);
  game_->start();
  textLoop(*game_, *clock_);
}

void ServerRun::playLockstep(GameSetup setup) {
  auto& text = ownedListeners_.emplace_back(std::make_unique<TextListener>());
  listeners_.add(*text);
  auto clock = std::make_unique<VirtualClock>();
  VirtualClock& virtualClock = *clock;
  clock_ = std::move(clock);
  std::optional<std::chrono::nanoseconds> timeout;
  if (const std::uint32_t millis = replyTimeoutMillis(settings_); millis > 0) {
    timeout = std::chrono::milliseconds(millis);
  }
  auto input = std::make_unique<LockstepInput>(inputTransport(), timeout);
  if (record_) input->setObserver(record_.get());
  input_ = std::move(input);
  setup.clock = clock_.get();
  setup.input = input_.get();
  game_ = std::make_unique<Game>(setup);
  game_->start();
  lockstepLoop(*game_, virtualClock);
}

void ServerRun::playWindow(GameSetup setup) {
  // The window shows each run; standard output gets only the result lines.
  listeners_.add(*ownedListeners_.emplace_back(makeSceneListener()));
  listeners_.add(*ownedListeners_.emplace_back(std::make_unique<TextListener>(stdout, false)));
  clock_ = std::make_unique<SteadyClock>();
  reader_ = std::make_unique<CommandReader>(inputTransport());
  input_ = std::make_unique<RealtimeInput>(*reader_);
  setup.clock = clock_.get();
  setup.input = input_.get();
  setup.exitWhenDone = false;
  game_ = std::make_unique<Game>(setup);
  setCallbackFailureHook([this](const std::string& line, const std::optional<Failure>& failure) {
    finishFiles({GameEnding::Status::Failed, line, failure});
  });
  runWindowMode(*game_, *clock_, settings_.mapFile, [this] {
    finishFiles({GameEnding::Status::Quit, "", std::nullopt});
    quitServer(*connection_, listener_);
  });
}

void ServerRun::fail(const Failure& failure) {
  // A lockstep run that ended just before the failure still gets its line.
  if (game_) game_->announceHeldRunEnd();
  std::string line = topLevelLine(failure, systemErrorForm_);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  // The files must not change how the failure is reported: a second
  // failure while finishing them is dropped.
  try {
    finishFiles({GameEnding::Status::Failed, line, failure});
  } catch (...) {
  }
  topLevelReport(failure, systemErrorForm_);
}

}  // namespace rover
