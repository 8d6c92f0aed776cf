#include "driver/clock.h"

#include <sys/prctl.h>
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

SteadyClock::SteadyClock() {
  // The default slack of 50 us was most of the telemetry's lateness. It only
  // lets the kernel wake the process later, so failing to set it is harmless.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void SteadyClock::sleepUntil(const TimeValue& due) {
  const TimeValue start = now();
  if (!(start < due)) return;
  // A bounded request keeps the conversion safe for any due time.
  const TimeValue latest = start + TimeValue::fromMillis(kMaxSleepSeconds * 1000);
  const std::int64_t nanos = (due < latest ? due : latest).nanos64().value_or(0);
  timespec request{};
  request.tv_sec = static_cast<time_t>(nanos / 1000000000);
  request.tv_nsec = static_cast<long>(nanos % 1000000000);
  // An interrupted sleep simply ends early; the caller reads the clock again.
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &request, nullptr);
}

}  // namespace rover
