#include "driver/virtual_clock.h"

namespace rover {

void VirtualClock::sleepMicros(const TimeValue& duration) {
  if (duration > TimeValue::fromNanos(0)) now_ = now_ + duration;
}

}  // namespace rover
