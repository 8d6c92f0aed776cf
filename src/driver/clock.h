#pragma once

#include "base/time_value.h"

namespace rover {

// The game's only source of time. The server reads a monotonic clock; tests
// inject a fake one so the schedule can be driven without sleeping.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimeValue now() = 0;
  // Sleeps for about the given number of microseconds (may return early).
  virtual void sleepMicros(const TimeValue& duration) = 0;
};

// CLOCK_MONOTONIC in nanoseconds; immune to the time of day being stepped.
class SteadyClock final : public Clock {
 public:
  TimeValue now() override;
  void sleepMicros(const TimeValue& duration) override;
};

}  // namespace rover
