#include "run_tally.h"

namespace rover::pilot {

std::string outcomeText(char ending) {
  switch (ending) {
    case 'S':
      return "reached home";
    case 'C':
      return "crashed into crater";
    case 'K':
      return "killed by Martian";
    default:
      return "time limit exceeded";
  }
}

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
  return "run " + std::to_string(number_) + ": " + outcomeText(ending_) +
         "; time = " + std::to_string(end.timeMs) + " ms; score = " + std::to_string(end.scoreMs) +
         "; bounces = " + std::to_string(bounces_);
}

}  // namespace rover::pilot
