#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "base/time_value.h"
#include "driver/clock.h"
#include "driver/event_queue.h"
#include "driver/game_listener.h"
#include "driver/game_setup.h"
#include "map/map_spec.h"
#include "net/client_input.h"
#include "net/output_buffer.h"
#include "net/static_object_text.h"
#include "sim/martian.h"
#include "sim/random.h"
#include "sim/sensing.h"
#include "sim/world.h"

namespace rover {

// "Round N: <outcome>; score = S": a run's result line, without a newline.
std::string resultLine(const RunReport& report);

// One connection's game: plays every run of the map in order on the fixed
// schedule of the event queue, scores each run, tells the client and the
// listener. GameSession builds it; its loops, the window and the tests drive
// it through runDueEvents (and endInstant) until finished().
class Game {
 public:
  static constexpr std::int64_t kPauseMillis = 1000;
  static constexpr std::int64_t kPhysicsPeriodMillis = 10;
  static constexpr std::int64_t kMartianPeriodMillis = 50;
  static constexpr std::int64_t kTelemetryPeriodMillis = 100;
  static constexpr std::int64_t kCommandPeriodMillis = 50;

  explicit Game(const GameSetup& setup);

  // Sends the initialization message and schedules the first run one pause
  // after a clock reading.
  void start();
  // Performs every event that is due at one clock reading, each with its own
  // due time as the event time, so a late loop catches up step by step.
  void runDueEvents();
  // After the last event of an instant: unless the game is over, waits for
  // the lockstep replies owed, then closes a run that ended in the instant.
  void endInstant();
  // Closes a run whose "E" the game has sent, or tried to, when nothing has
  // closed it yet: the failure path calls it when a failure cut the instant short.
  void closeRun();
  // Text mode after the last run: the loops stop and the server ends.
  bool finished() const { return finished_; }

  const MapSpec& map() const { return map_; }
  // The current run's cells; before the first run, worldBeforeRuns's.
  const World& world() const { return world_; }
  const std::vector<RunReport>& results() const { return results_; }
  int roundCounter() const { return roundCounter_; }
  const TimeValue& runStart() const { return runStart_; }
  // A run has started and has not ended.
  bool runInPlay() const { return roundCounter_ > 0 && !runFinished_; }
  bool queueEmpty() const { return queue_.empty(); }
  // Due time of the earliest event; kind "Empty" when the queue is empty.
  TimeValue nextDue() const { return queue_.min().due; }
  // Called after every event whose work was done (stale events that were
  // dropped are not reported), for tracing the schedule.
  void setEventObserver(std::function<void(const ScheduledEvent&)> observer) {
    observer_ = std::move(observer);
  }

 private:
  void perform(const ScheduledEvent& event);
  bool isStale(const Action& action) const;
  void schedule(ActionKind kind, const TimeValue& due);
  void startRound(const TimeValue& t0);
  void physicsTick(const TimeValue& t);
  void martianTick();
  void telemetry(const TimeValue& t, bool periodic);
  void commandPoll(const TimeValue& t);
  void endRun(Outcome outcome, const TimeValue& runTime);
  Stamp stamp(const TimeValue& t) const;
  // Tells the listener about the message just sent, stamped with event time t.
  void reportMessage(const TimeValue& t);

  const MapSpec& map_;
  OutputBuffer& output_;
  ClientInput& input_;
  Clock& clock_;
  GameListener& listener_;
  bool closeAfterWait_;
  bool exitWhenDone_;
  std::function<void(const ScheduledEvent&)> observer_;

  WorldRules rules_;
  StaticObjectText staticText_;  // of rules_.statics
  ViewEllipse view_;
  SteerConstants steer_;
  Random random_;  // one generator for all Martians of all runs
  World world_;

  EventQueue queue_;
  std::vector<RunReport> results_;  // every run that ended, as its result said
  int roundCounter_ = 0;
  bool runFinished_ = true;
  bool finished_ = false;
  TimeValue runStart_;
  RunReport current_;                 // the run in play: its counts so far
  std::optional<RunReport> closing_;  // a run that ended and is not closed yet
  std::vector<std::string> applied_;  // scratch for each poll's commands
  Sensing sensing_;
  TimeValue lastInstant_;  // due time of the latest event performed
};

}  // namespace rover
