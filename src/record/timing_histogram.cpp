#include "record/timing_histogram.h"

#include <algorithm>

namespace rover {

void TimingHistogram::add(std::chrono::nanoseconds duration) {
  const std::int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
  const std::uint64_t value = micros > 0 ? static_cast<std::uint64_t>(micros) : 0;
  const auto bucket =
      std::upper_bound(kEdgesMicros.begin(), kEdgesMicros.end(), value) - kEdgesMicros.begin();
  ++counts_[static_cast<std::size_t>(bucket)];
  ++count_;
  maxMicros_ = std::max(maxMicros_, value);
  sumMicros_ += value;
}

}  // namespace rover
