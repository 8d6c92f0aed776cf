#include "driver/listener_list.h"

namespace rover {

void ListenerList::gameStarted() {
  for (GameListener* listener : listeners_) listener->gameStarted();
}
void ListenerList::runStarting(int number) {
  for (GameListener* listener : listeners_) listener->runStarting(number);
}
void ListenerList::runStarted(const MapSpec& map, int number) {
  for (GameListener* listener : listeners_) listener->runStarted(map, number);
}
void ListenerList::inputReading(InputPhase phase, const Stamp& at) {
  for (GameListener* listener : listeners_) listener->inputReading(phase, at);
}
void ListenerList::commandsApplied(const Stamp& at, const std::vector<std::string>& commands) {
  for (GameListener* listener : listeners_) listener->commandsApplied(at, commands);
}
void ListenerList::messageSent(const Stamp& at, std::string_view text) {
  for (GameListener* listener : listeners_) listener->messageSent(at, text);
}
void ListenerList::sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
                          const std::vector<std::size_t>& occluded, bool periodic) {
  for (GameListener* listener : listeners_) listener->sensed(at, world, visible, occluded, periodic);
}
void ListenerList::stepped(const Stamp& at, const World& world, const StepResult& result) {
  for (GameListener* listener : listeners_) listener->stepped(at, world, result);
}
void ListenerList::runResult(const RunReport& report) {
  for (GameListener* listener : listeners_) listener->runResult(report);
}
void ListenerList::runClosed(const RunReport& report) {
  for (GameListener* listener : listeners_) listener->runClosed(report);
}
void ListenerList::gameEnded(const GameEnding& ending) {
  if (ended_) return;
  ended_ = true;
  for (GameListener* listener : listeners_) listener->gameEnded(ending);
}

}  // namespace rover
