#pragma once

#include <gmpxx.h>

#include <utility>

#include "driver/clock.h"

namespace rover::testing {

// A clock that only moves when told to; a sleep advances it by the slept
// whole microseconds, so a loop can be driven without real time passing.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(TimeValue start = TimeValue::fromMillis(1000000)) : now_(std::move(start)) {}
  TimeValue now() override { return now_; }
  void sleepMicros(const TimeValue& duration) override {
    ++sleeps_;
    lastSleepMicros_ = duration.wholeMicros();
    if (lastSleepMicros_ > 0) now_ = now_ + TimeValue::fromNanos(mpz_class(lastSleepMicros_ * 1000));
  }
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

}  // namespace rover::testing
