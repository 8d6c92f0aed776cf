#pragma once

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

}  // namespace rover
