// fixed_point_sweep: writeFixed against printf, the way every real was
// written before it, on more values than a test can afford: N random
// values (10^8 by default) of every magnitude, a quarter of them random bit
// patterns, the rest everyday magnitudes on a log scale, with three and one
// decimals in turn; then 4 ulps either side of every exact tie with |k| up
// to 2^24 (tests/base/fixed_point_oracle.h). Ends with both formatters'
// time per value on everyday values, beside each other.
//
//   fixed_point_sweep [N]
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "base/fixed_point_oracle.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

bool report(const char* what, const rover::testing::FixedPointCheck& check, Clock::time_point since) {
  std::printf("%s: %llu values, %llu differ, %.1f s\n", what,
              static_cast<unsigned long long>(check.checked()),
              static_cast<unsigned long long>(check.mismatches()), seconds(since));
  if (check.mismatches() > 0) std::printf("  first: %s\n", check.first().c_str());
  return check.mismatches() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long long count = argc > 1 ? std::atoll(argv[1]) : 100'000'000;
  std::mt19937_64 random(20251209);
  std::uniform_real_distribution<double> exponent(-6.0, 18.0);
  auto everyday = [&] { return std::pow(10.0, exponent(random)) * (random() % 2 ? -1.0 : 1.0); };

  Clock::time_point start = Clock::now();
  rover::testing::FixedPointCheck randomCheck;
  for (long long i = 0; i < count; ++i) {
    const double x = i % 4 == 0 ? std::bit_cast<double>(random()) : everyday();
    randomCheck.check(x, i % 2 == 0 ? 3 : 1);
  }
  bool same = report("random values", randomCheck, start);

  start = Clock::now();
  rover::testing::FixedPointCheck tieCheck;
  rover::testing::checkTies(std::int64_t{1} << 24, 4, tieCheck);
  same = report("ties and 4 ulps around each", tieCheck, start) && same;

  // Speed on the everyday values the wire carries.
  std::vector<double> values(1'000'000);
  for (double& x : values) x = everyday() * 1e-14;  // up to about 10^4
  char text[rover::kFixedTextCapacity];
  std::size_t total = 0;
  start = Clock::now();
  for (int round = 0; round < 10; ++round) {
    for (const double x : values) total += rover::writeFixed(text, x, 3);
  }
  const double ours = seconds(start) / (10.0 * static_cast<double>(values.size()));
  start = Clock::now();
  for (int round = 0; round < 10; ++round) {
    for (const double x : values)
      total += static_cast<std::size_t>(std::snprintf(text, sizeof text, "%.3f", x));
  }
  const double theirs = seconds(start) / (10.0 * static_cast<double>(values.size()));
  std::printf("per value: writeFixed %.1f ns, snprintf %.1f ns (%.1fx faster; %zu bytes)\n", ours * 1e9,
              theirs * 1e9, theirs / ours, total);
  return same ? 0 : 1;
}
