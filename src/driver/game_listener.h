#pragma once

#include <gmpxx.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "base/time_value.h"
#include "map/map_spec.h"
#include "net/reply_timing.h"
#include "sim/world.h"
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

// How a game ended, for a record's footer and a results file.
struct GameEnding {
  enum class Status { Completed, Quit, Failed };
  Status status = Status::Completed;
  std::string line;                // failed: the line printed on standard error, without its newline
  std::optional<Failure> failure;  // failed: what was raised
};

// When something happened: the run (0 before the first one) and the run time
// of the event that did it (0 before the first run).
struct Stamp {
  int run = 0;
  TimeValue runTime;
};

// Where the client's bytes are read: a real-time input poll, the drain at a
// run start, or a lockstep wait for replies.
enum class InputPhase { Poll, Drain, Wait };

// Hears what the game does. The text mode prints its lines, the window builds
// its display lists, and the record and results writers keep what they need;
// each overrides only what it uses.
class GameListener {
 public:
  virtual ~GameListener() = default;
  // The "I" message has gone out and the first run is scheduled.
  virtual void gameStarted() {}
  // A run's start event is being performed, before its stale input is drained.
  virtual void runStarting(int /*number*/) {}
  // Run `number` has been set up and is about to send its first telemetry.
  virtual void runStarted(const MapSpec& /*map*/, int /*number*/) {}
  // The client's input is about to be read.
  virtual void inputReading(InputPhase /*phase*/, const Stamp& /*at*/) {}
  // An input poll applied these commands, in order (called only when there are any).
  virtual void commandsApplied(const Stamp& /*at*/, const std::vector<std::string>& /*commands*/) {}
  // A message went to the client, whole, through its ";".
  virtual void messageSent(const Stamp& /*at*/, std::string_view /*text*/) {}
  // A sensing pass before a "T": the visible and the hidden entries of the
  // rover's object list. `periodic` is false for the extra "T" after a bounce.
  virtual void sensed(const Stamp& /*at*/, const World& /*world*/,
                      const std::vector<std::size_t>& /*visible*/,
                      const std::vector<std::size_t>& /*occluded*/, bool /*periodic*/) {}
  // A physics step has moved the world.
  virtual void stepped(const Stamp& /*at*/, const World& /*world*/, const StepResult& /*result*/) {}
  // Lockstep, when the session times replies: a reply resolved, during the
  // wait that ends the instant of its "T".
  virtual void replyTimed(const ReplyTiming& /*timing*/) {}
  // A run has ended: its result, before its "E" message is sent. In
  // lockstep the late replies are not all counted yet.
  virtual void runResult(const RunReport& /*report*/) {}
  // The instant that ended a run is over: right after its "E" in real time;
  // in lockstep after the wait for the replies owed, so the report counts
  // the reply to the run's last "T".
  virtual void runClosed(const RunReport& /*report*/) {}
  // The game is over, however it ended; heard once.
  virtual void gameEnded(const GameEnding& /*ending*/) {}
};

}  // namespace rover
