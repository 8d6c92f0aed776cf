// The time arithmetic of the event loop: clock readings, periodic due times,
// the sleep decision and the telemetry time text, for ordinary nanosecond
// counts and for a 10^30 ms time limit.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "base/time_value.h"

namespace rover {
namespace {

// About a day of monotonic clock, in nanoseconds.
constexpr std::int64_t kClockStart = 86'400'000'000'000;

void BM_ClockReading(benchmark::State& state) {
  std::int64_t nanos = kClockStart;
  for (auto _ : state) {
    TimeValue now = TimeValue::fromNanos(nanos);
    benchmark::DoNotOptimize(now);
    nanos += 1'234;
  }
}

// One physics event: the next due time is this one plus the period, and the
// event queue compares it with another due time.
void BM_NextDueTime(benchmark::State& state) {
  TimeValue due = TimeValue::fromNanos(kClockStart);
  const TimeValue other = TimeValue::fromNanos(kClockStart + 5'000'000);
  for (auto _ : state) {
    due = due + TimeValue::fromMillis(10);
    benchmark::DoNotOptimize(due < other);
  }
}

// The text loop's step: how long until the next due time, and is it worth a sleep.
void BM_SleepDecision(benchmark::State& state) {
  const TimeValue due = TimeValue::fromNanos(kClockStart + 7'000'000);
  std::int64_t nanos = kClockStart;
  for (auto _ : state) {
    const TimeValue remaining = due - TimeValue::fromNanos(nanos);
    benchmark::DoNotOptimize(remaining > TimeValue::fromMillis(5));
    nanos = nanos == kClockStart + 6'000'000 ? kClockStart : nanos + 1'000;
  }
}

void BM_TelemetryTimeText(benchmark::State& state) {
  const TimeValue runStart = TimeValue::fromNanos(kClockStart);
  TimeValue now = runStart;
  for (auto _ : state) {
    now = now + TimeValue::fromMillis(100);
    benchmark::DoNotOptimize((now - runStart).millisText());
  }
}

// The same due-time step beyond 64 bits: a run start plus a 10^30 ms limit.
void BM_HugeLimitDueTime(benchmark::State& state) {
  const TimeValue limit = TimeValue::fromMillis(mpz_class("1000000000000000000000000000000"));
  TimeValue start = TimeValue::fromNanos(kClockStart);
  for (auto _ : state) {
    TimeValue due = start + limit;
    benchmark::DoNotOptimize(due > start);
    start = start + TimeValue::fromMillis(10);
  }
}

BENCHMARK(BM_ClockReading);
BENCHMARK(BM_NextDueTime);
BENCHMARK(BM_SleepDecision);
BENCHMARK(BM_TelemetryTimeText);
BENCHMARK(BM_HugeLimitDueTime);

}  // namespace
}  // namespace rover
