#pragma once

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "base/time_value.h"
#include "driver/announcer.h"
#include "driver/clock.h"
#include "driver/event_queue.h"
#include "driver/run_result.h"
#include "map/map_spec.h"
#include "net/command_reader.h"
#include "net/output_buffer.h"
#include "sim/martian.h"
#include "sim/random.h"
#include "sim/sensing.h"
#include "sim/world.h"

namespace rover {

// One connection's game: plays every run of the map in order on the fixed
// schedule of the event queue, scores each run, prints its result line and
// tells the client. Both main loops (text and window) drive it through
// runDueEvents.
class Game {
 public:
  static constexpr std::int64_t kPauseMillis = 1000;
  static constexpr std::int64_t kPhysicsPeriodMillis = 10;
  static constexpr std::int64_t kMartianPeriodMillis = 50;
  static constexpr std::int64_t kTelemetryPeriodMillis = 100;
  static constexpr std::int64_t kCommandPeriodMillis = 50;

  // results receives the result lines (standard output in the server).
  Game(MapSpec& map, OutputBuffer& output, CommandReader& commands, Clock& clock, RoundAnnouncer& announcer,
       bool exitWhenDone, std::function<void()> quit, std::FILE* resultStream = stdout);

  // Sends the initialization message and schedules the first run one pause
  // after a clock reading.
  void start();
  // Performs every event that is due at one clock reading, each with its own
  // due time as the event time, so a late loop catches up step by step.
  void runDueEvents();

  const MapSpec& map() const { return map_; }  // map().world is the current run's world
  const std::vector<RunResult>& results() const { return results_; }
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
  void telemetry(const TimeValue& t);
  void endRun(Outcome outcome, const TimeValue& runTime);

  MapSpec& map_;
  OutputBuffer& output_;
  CommandReader& commands_;
  Clock& clock_;
  RoundAnnouncer& announcer_;
  bool exitWhenDone_;
  std::function<void()> quit_;
  std::FILE* resultStream_;
  std::function<void(const ScheduledEvent&)> observer_;

  WorldRules rules_;
  ViewEllipse view_;
  SteerConstants steer_;
  Random random_;  // one generator for all Martians of all runs

  EventQueue queue_;
  std::vector<RunResult> results_;
  int roundCounter_ = 0;
  bool runFinished_ = true;
  TimeValue runStart_;
};

}  // namespace rover
