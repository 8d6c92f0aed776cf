#pragma once

#include <string>

#include "messages.h"

namespace rover::pilot {

// Follows the events of one run and describes its end.
class RunTally {
 public:
  /// Starts counting a new run with the given number (from 1).
  void startRun(int number);
  /// Notes a "B", "C", "K" or "S" event.
  void onEvent(const EventMessage& event);
  /// The result line of the run that the end message closes.
  std::string finish(const EndMessage& end) const;
  int bounces() const { return bounces_; }

 private:
  int number_ = 0;
  int bounces_ = 0;
  char ending_ = 0;  // the event that ended the run, if any
};

}  // namespace rover::pilot
