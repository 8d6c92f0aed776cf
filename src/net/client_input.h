#pragma once

#include <string>
#include <vector>

#include "base/time_value.h"
#include "sim/motion.h"

namespace rover {

// How the game takes the client's commands. In real time each input poll
// applies whatever has arrived; in lockstep the client answers every "T"
// message with exactly one reply and the game waits for it.
class ClientInput {
 public:
  virtual ~ClientInput() = default;
  // At a run start: discards stale commands; 1000 of them fail with
  // "excessive input".
  virtual void drain() = 0;
  // An input poll at `instant`: applies commands to `control` in order and
  // appends each applied command word to `applied`.
  virtual void poll(const TimeValue& instant, ControlState& control, std::vector<std::string>& applied) = 0;
  // A "T" message has gone out at `instant`.
  virtual void telemetrySent(const TimeValue& /*instant*/) {}
  // Every event of an instant has run and the game goes on: lockstep waits
  // here until it holds one reply per "T" sent so far.
  virtual void awaitOwedReplies() {}
  // Replies that missed their timeout since the last call.
  virtual int takeLateReplies() { return 0; }
};

}  // namespace rover
