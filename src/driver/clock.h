#pragma once

#include <utility>

#include "base/time_value.h"

namespace rover {

// The game's only source of time. The server reads a monotonic clock; tests
// inject a fake one so the schedule can be driven without sleeping.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimeValue now() = 0;
  // Sleeps until the clock reads `due` (may return early, for example on a
  // signal; the loop then reads the clock again).
  virtual void sleepUntil(const TimeValue& due) = 0;
};

// CLOCK_MONOTONIC in nanoseconds; immune to the time of day being stepped.
// It sleeps to the absolute time with the smallest timer slack, so the
// process wakes when the event is due rather than up to 50 us later.
class SteadyClock final : public Clock {
 public:
  SteadyClock();
  TimeValue now() override;
  void sleepUntil(const TimeValue& due) override;
};

// Lockstep's clock: simulated time that stands still until the loop moves it
// to the next due event, so pauses and waits cost no wall time.
class VirtualClock final : public Clock {
 public:
  TimeValue now() override { return now_; }
  // Nothing sleeps in lockstep; a sleep only moves the time on.
  void sleepUntil(const TimeValue& due) override { advanceTo(due); }
  void advanceTo(TimeValue time) {
    if (now_ < time) now_ = std::move(time);
  }

 private:
  TimeValue now_ = TimeValue::fromNanos(0);
};

}  // namespace rover
