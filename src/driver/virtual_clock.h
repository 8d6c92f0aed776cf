#pragma once

#include <utility>

#include "driver/clock.h"

namespace rover {

// Lockstep's clock: simulated time that stands still until the loop moves it
// to the next due event, so pauses and waits cost no wall time.
class VirtualClock final : public Clock {
 public:
  TimeValue now() override { return now_; }
  // Nothing sleeps in lockstep; a sleep only moves the time on.
  void sleepMicros(const TimeValue& duration) override;
  void advanceTo(TimeValue time) {
    if (now_ < time) now_ = std::move(time);
  }

 private:
  TimeValue now_ = TimeValue::fromNanos(0);
};

}  // namespace rover
