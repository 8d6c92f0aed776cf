#pragma once

#include <optional>
#include <vector>

#include "driver/game_listener.h"
#include "driver/top_level_report.h"

namespace rover {

// Several listeners heard as one, in the order they were added.
class ListenerList final : public GameListener {
 public:
  void add(GameListener& listener) { listeners_.push_back(&listener); }

  void gameStarted() override { each(&GameListener::gameStarted); }
  void runStarting(int number) override { each(&GameListener::runStarting, number); }
  void runStarted(const MapSpec& map, int number) override { each(&GameListener::runStarted, map, number); }
  void inputReading(InputPhase phase, const Stamp& at) override {
    each(&GameListener::inputReading, phase, at);
  }
  void commandsApplied(const Stamp& at, const std::vector<std::string>& commands) override {
    each(&GameListener::commandsApplied, at, commands);
  }
  void messageSent(const Stamp& at, std::string_view text) override {
    each(&GameListener::messageSent, at, text);
  }
  void sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
              const std::vector<std::size_t>& occluded, bool periodic) override {
    each(&GameListener::sensed, at, world, visible, occluded, periodic);
  }
  void stepped(const Stamp& at, const World& world, const StepResult& result) override {
    each(&GameListener::stepped, at, world, result);
  }
  void replyTimed(const ReplyTiming& timing) override { each(&GameListener::replyTimed, timing); }
  void runResult(const RunReport& report) override { each(&GameListener::runResult, report); }
  // Every listener hears a run's close, even after one of them failed (a
  // record that could not be written): the results file still lists the
  // run. The first failure is raised once all have heard.
  void runClosed(const RunReport& report) override {
    std::optional<Failure> first;
    for (GameListener* listener : listeners_) {
      try {
        listener->runClosed(report);
      } catch (const Failure& failure) {
        if (!first) first = failure;
      }
    }
    if (first) throw *first;
  }
  // Passed on the first time only: every way out of a game ends it, and the
  // first one to get there says how. When a listener fails to end a game
  // that was going well (the record's last write), the listeners after it
  // hear the game as failed by that failure, with the line the top level
  // will print for it, and the failure is raised once all have heard.
  void gameEnded(const GameEnding& ending) override {
    if (ended_) return;
    ended_ = true;
    GameEnding heard = ending;
    std::optional<Failure> first;
    for (GameListener* listener : listeners_) {
      try {
        listener->gameEnded(heard);
      } catch (const Failure& failure) {
        if (first) continue;
        first = failure;
        if (heard.status == GameEnding::Status::Failed) continue;
        std::string line = topLevelLine(failure, /*systemErrorForm=*/true);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        heard = {GameEnding::Status::Failed, line, failure};
      }
    }
    if (first) throw *first;
  }

 private:
  template <class... Params, class... Args>
  void each(void (GameListener::*event)(Params...), const Args&... args) {
    for (GameListener* listener : listeners_) (listener->*event)(args...);
  }

  std::vector<GameListener*> listeners_;
  bool ended_ = false;
};

}  // namespace rover
