#pragma once

#include <vector>

#include "driver/game_listener.h"

namespace rover {

// Several listeners heard as one, in the order they were added.
class ListenerList final : public GameListener {
 public:
  void add(GameListener& listener) { listeners_.push_back(&listener); }
  void runStarted(const MapSpec& map, int number) override {
    for (GameListener* listener : listeners_) listener->runStarted(map, number);
  }
  void runEnded(const RunReport& report) override {
    for (GameListener* listener : listeners_) listener->runEnded(report);
  }

 private:
  std::vector<GameListener*> listeners_;
};

}  // namespace rover
