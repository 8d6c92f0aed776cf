#include "driver/clock.h"

#include <time.h>

#include <cerrno>

#include "base/failure.h"

namespace rover {

namespace {

// A sleep never needs to be long: the loop reads the clock again after it,
// and a bounded request keeps the conversion to timespec safe.
constexpr long kMaxSleepSeconds = 3600;

}  // namespace

TimeValue SteadyClock::now() {
  timespec ts{};
  if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) {
    raiseErrno(errno);
  }
  return TimeValue::fromNanos(static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec);
}

void SteadyClock::sleepMicros(const TimeValue& duration) {
  const mpz_class micros = duration.wholeMicros();
  if (micros <= 0) return;
  timespec request{};
  if (micros >= mpz_class(kMaxSleepSeconds) * 1000000) {
    request.tv_sec = kMaxSleepSeconds;
  } else {
    const long whole = micros.get_si();
    request.tv_sec = whole / 1000000;
    request.tv_nsec = (whole % 1000000) * 1000;
  }
  // An interrupted sleep simply ends early; the caller reads the clock again.
  nanosleep(&request, nullptr);
}

}  // namespace rover
