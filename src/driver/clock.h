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

// A clock that only moves when told to; a sleep advances it by the slept time.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(TimeValue start = TimeValue::fromMillis(1000000)) : now_(std::move(start)) {}
  TimeValue now() override { return now_; }
  void sleepMicros(const TimeValue& duration) override;
  void advance(const TimeValue& duration) { now_ = now_ + duration; }
  void set(const TimeValue& time) { now_ = time; }
  int sleeps() const { return sleeps_; }
  // The whole microseconds asked for by the latest sleep.
  const mpz_class& lastSleepMicros() const { return lastSleepMicros_; }

 private:
  TimeValue now_;
  int sleeps_ = 0;
  mpz_class lastSleepMicros_;
};

}  // namespace rover
