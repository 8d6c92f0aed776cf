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
}

void ServerRun::playText(GameSetup setup) {
  auto& text = ownedListeners_.emplace_back(std::make_unique<TextListener>());
  listeners_.add(*text);
  clock_ = std::make_unique<SteadyClock>();
  input_ = std::make_unique<RealtimeInput>(connection_->commands());
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
  input_ = std::make_unique<LockstepInput>(connection_->transport(), timeout);
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
  input_ = std::make_unique<RealtimeInput>(connection_->commands());
  setup.clock = clock_.get();
  setup.input = input_.get();
  setup.exitWhenDone = false;
  game_ = std::make_unique<Game>(setup);
  runWindowMode(*game_, *clock_, settings_.mapFile, [this] { quitServer(*connection_, listener_); });
}

void ServerRun::fail(const Failure& failure) {
  // A lockstep run that ended just before the failure still gets its line.
  if (game_) game_->announceHeldRunEnd();
  topLevelReport(failure, systemErrorForm_);
}

}  // namespace rover
