#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "base/time_value.h"

namespace rover {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

mpz_class exact(std::int64_t value) {
  return mpz_class(static_cast<long>(value));
}

bool fits64(const mpz_class& value) {
  return mpz_fits_slong_p(value.get_mpz_t()) != 0;
}

mpz_class truncated(const mpz_class& value, long divisor) {
  mpz_class quotient;
  mpz_tdiv_q_ui(quotient.get_mpz_t(), value.get_mpz_t(), static_cast<unsigned long>(divisor));
  return quotient;
}

// Values where the 64-bit form and the promotion meet, and the ordinary ones.
class Values {
 public:
  explicit Values(unsigned seed) : random_(seed) {}

  mpz_class next() {
    switch (random_() % 6) {
      case 0:  // anywhere in 64 bits
        return exact(static_cast<std::int64_t>(random_()));
      case 1:  // a clock reading or a period
        return exact(static_cast<std::int64_t>(random_() % 100'000'000'000'000) - 50'000'000'000'000);
      case 2:  // just inside or outside either end of the 64-bit range
        return (random_() % 2 ? exact(kMax) : exact(kMin)) + static_cast<long>(random_() % 5) - 2;
      case 3:  // half the range: sums of two cross the end
        return exact(kMax / 2) * (random_() % 2 ? 1 : -1) + static_cast<long>(random_() % 5) - 2;
      case 4:  // far beyond 64 bits, such as a 10^30 ms time limit
        return huge();
      default:  // a huge value minus one near the end, so differences come back into range
        return (random_() % 2 ? exact(kMax) : exact(kMin)) + huge() - huge();
    }
  }

  // Milliseconds that may or may not overflow when multiplied by 10^6.
  mpz_class millis() {
    const std::int64_t edge = kMax / 1'000'000;
    switch (random_() % 3) {
      case 0:
        return exact(static_cast<std::int64_t>(random_() % 2'000'000'000'000) - 1'000'000'000'000);
      case 1:
        return exact(random_() % 2 ? edge : -edge) + static_cast<long>(random_() % 5) - 2;
      default:
        return next();
    }
  }

 private:
  mpz_class huge() {
    mpz_class value = 0;
    for (unsigned limbs = 1 + random_() % 4; limbs > 0; --limbs)
      value = (value << 64) + exact(static_cast<std::int64_t>(random_() >> 1));
    return random_() % 2 ? value : mpz_class(-value);
  }

  std::mt19937_64 random_;
};

// Checks everything observable of `value` against the exact integer it should hold.
void expectHolds(const TimeValue& value, const mpz_class& nanos) {
  EXPECT_EQ(value.nanos(), nanos);
  if (fits64(nanos)) {
    EXPECT_EQ(value.nanos64(), std::optional<std::int64_t>(nanos.get_si())) << nanos.get_str();
  } else {
    EXPECT_EQ(value.nanos64(), std::nullopt) << nanos.get_str();
  }
  EXPECT_EQ(value.wholeMillis(), truncated(nanos, 1'000'000)) << nanos.get_str();
  EXPECT_EQ(value.wholeMicros(), truncated(nanos, 1'000)) << nanos.get_str();
  EXPECT_EQ(value.millisText(), truncated(nanos, 1'000'000).get_str()) << nanos.get_str();
}

// Every operation on random pairs, on both sides of the 64-bit range and far
// beyond it, must agree with GMP's exact arithmetic; a result that comes back
// into range must be the same value as one made small from the start.
TEST(TimeValueProperty, EveryOperationAgreesWithExactArithmetic) {
  Values values(20240514);
  for (int i = 0; i < 20'000; ++i) {
    const mpz_class a = values.next();
    const mpz_class b = values.next();
    const TimeValue x = TimeValue::fromNanos(a);
    const TimeValue y = TimeValue::fromNanos(b);
    SCOPED_TRACE(a.get_str() + " and " + b.get_str());
    expectHolds(x, a);
    if (fits64(a)) {
      EXPECT_EQ(TimeValue::fromNanos(static_cast<std::int64_t>(a.get_si())), x);
    }
    expectHolds(x + y, a + b);
    expectHolds(x - y, a - b);
    EXPECT_EQ(x + y - y, x);
    EXPECT_EQ(x == y, a == b);
    EXPECT_EQ(x != y, a != b);
    EXPECT_EQ(x < y, a < b);
    EXPECT_EQ(x <= y, a <= b);
    EXPECT_EQ(x > y, a > b);
    EXPECT_EQ(x >= y, a >= b);
    EXPECT_TRUE(x == TimeValue(x));

    const mpz_class m = values.millis();
    expectHolds(TimeValue::fromMillis(m), m * 1'000'000);
    if (fits64(m)) expectHolds(TimeValue::fromMillis(static_cast<std::int64_t>(m.get_si())), m * 1'000'000);
  }
}

// Copies and assignments between the two forms keep each value whole.
TEST(TimeValueProperty, CopiesBetweenFormsKeepTheValue) {
  const mpz_class huge("1000000000000000000000000000000000000");
  std::vector<TimeValue> times = {TimeValue::fromNanos(huge), TimeValue::fromNanos(-7), TimeValue()};
  times[2] = times[0];
  times[0] = times[1];
  times[1] = times[2];
  expectHolds(times[0], -7);
  expectHolds(times[1], huge);
  expectHolds(times[2], huge);
  TimeValue moved = std::move(times[2]);
  expectHolds(moved, huge);
}

}  // namespace
}  // namespace rover
