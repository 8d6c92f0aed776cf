#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "record/record_lines.h"

namespace rover {

// Wall-clock durations counted in fixed buckets (docs/timing.md), with
// their maximum and sum: histograms of any runs and games add up exactly.
class TimingHistogram {
 public:
  // The buckets' edges in whole microseconds, 1-2-5 from 1 us to 50 s.
  // Bucket 0 holds durations below the first edge, bucket i those from edge
  // i-1 up to (not including) edge i, the last bucket everything from the
  // last edge up.
  static constexpr std::array<std::uint64_t, 24> kEdgesMicros = {
      1,     2,     5,     10,     20,     50,     100,     200,     500,     1000,     2000,     5000,
      10000, 20000, 50000, 100000, 200000, 500000, 1000000, 2000000, 5000000, 10000000, 20000000, 50000000};

  TimingHistogram() : counts_(kEdgesMicros.size() + 1, 0) {}

  // Counts a duration in whole microseconds (truncated; a negative one as 0).
  void add(std::chrono::nanoseconds duration);

  std::uint64_t count() const { return count_; }
  // The bucket counts, one more than there are edges.
  const std::vector<std::uint64_t>& counts() const { return counts_; }

  void fields(auto& f) { f(Field{"counts", counts_}, Field{"max", maxMicros_}, Field{"sum", sumMicros_}); }

 private:
  std::vector<std::uint64_t> counts_;
  std::uint64_t count_ = 0;
  std::uint64_t maxMicros_ = 0;
  std::uint64_t sumMicros_ = 0;
};

}  // namespace rover
