#pragma once

#include <gmpxx.h>

#include <utility>

#include "driver/clock.h"

namespace rover::testing {

// A clock that only moves when told to; a sleep moves it to the time slept
// until, so a loop can be driven without real time passing.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(TimeValue start = TimeValue::fromMillis(1000000)) : now_(std::move(start)) {}
  TimeValue now() override { return now_; }
  void sleepUntil(const TimeValue& due) override {
    ++sleeps_;
    lastSleepUntil_ = due;
    if (now_ < due) now_ = due;
  }
  void advance(const TimeValue& duration) { now_ = now_ + duration; }
  void set(const TimeValue& time) { now_ = time; }
  int sleeps() const { return sleeps_; }
  // The time the latest sleep was asked to last until.
  const TimeValue& lastSleepUntil() const { return lastSleepUntil_; }

 private:
  TimeValue now_;
  int sleeps_ = 0;
  TimeValue lastSleepUntil_;
};

}  // namespace rover::testing
