#pragma once

#include <vector>

#include "driver/game_listener.h"

namespace rover {

// Several listeners heard as one, in the order they were added.
class ListenerList final : public GameListener {
 public:
  void add(GameListener& listener) { listeners_.push_back(&listener); }

  void gameStarted() override;
  void runStarting(int number) override;
  void runStarted(const MapSpec& map, int number) override;
  void inputReading(InputPhase phase, const Stamp& at) override;
  void commandsApplied(const Stamp& at, const std::vector<std::string>& commands) override;
  void messageSent(const Stamp& at, std::string_view text) override;
  void sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
              const std::vector<std::size_t>& occluded, bool periodic) override;
  void stepped(const Stamp& at, const World& world, const StepResult& result) override;
  void runResult(const RunReport& report) override;
  void runClosed(const RunReport& report) override;
  // Passed on the first time only: every way out of a game ends it, and the
  // first one to get there says how.
  void gameEnded(const GameEnding& ending) override;

 private:
  std::vector<GameListener*> listeners_;
  bool ended_ = false;
};

}  // namespace rover
