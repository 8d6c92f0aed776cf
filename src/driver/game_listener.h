#pragma once

#include <gmpxx.h>

#include <string>

#include "map/map_spec.h"
#include "sim/world_step.h"

namespace rover {

// What a run's end tells its listeners.
struct RunReport {
  int number = 0;  // 1 for the first run
  Outcome outcome = Outcome::TimeLimitExceeded;
  mpz_class scoreMillis;
  mpz_class runMillis;     // the run time at which it ended
  std::string resultLine;  // "Round N: <outcome>; score = S", without a newline
  int boulderBounces = 0;
  int wallBounces = 0;
  int commands = 0;     // commands applied to the rover during the run
  int lateReplies = 0;  // lockstep replies that missed their timeout
};

// Hears the game's runs start and end: the text mode prints its lines, the
// window builds its display lists, and the record and results writers keep
// what they need.
class GameListener {
 public:
  virtual ~GameListener() = default;
  // Run `number` has been set up and is about to send its first telemetry.
  virtual void runStarted(const MapSpec& /*map*/, int /*number*/) {}
  // A run has ended. In lockstep this comes after the wait that follows the
  // run's last instant, so the report counts the reply to its last "T".
  virtual void runEnded(const RunReport& /*report*/) {}
};

}  // namespace rover
