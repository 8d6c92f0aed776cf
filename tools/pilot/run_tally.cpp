#include "run_tally.h"

#include "rover/outcome.h"

namespace rover::pilot {

void RunTally::startRun(int number) {
  number_ = number;
  bounces_ = 0;
  ending_ = 0;
}

void RunTally::onEvent(const EventMessage& event) {
  if (event.kind == 'B')
    ++bounces_;
  else
    ending_ = event.kind;
}

std::string RunTally::finish(const EndMessage& end) const {
  return "run " + std::to_string(number_) + ": " + client::outcomeText(ending_) +
         "; time = " + std::to_string(end.timeMs) + " ms; score = " + std::to_string(end.scoreMs) +
         "; bounces = " + std::to_string(bounces_);
}

}  // namespace rover::pilot
