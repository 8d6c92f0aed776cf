#include "base/fixed_point_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "fixed_point_oracle.h"

namespace rover {
namespace {

struct RealCase {
  double x;
  int decimals;
  const char* text;
};

class FormatReal : public ::testing::TestWithParam<RealCase> {};

TEST_P(FormatReal, GivesTheWireText) {
  const RealCase& c = GetParam();
  EXPECT_EQ(formatReal(c.x, c.decimals), c.text) << c.x;
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Table, FormatReal,
    ::testing::Values(
        RealCase{0.0, 3, "0.000"}, RealCase{-0.0, 3, "0.000"}, RealCase{-0.0004, 3, "-0.000"},
        RealCase{0.0004, 3, "0.000"}, RealCase{0.5, 3, "0.500"}, RealCase{12.0, 3, "12.000"},
        RealCase{12.345, 3, "12.345"}, RealCase{-6.0, 3, "-6.000"}, RealCase{3.25, 3, "3.250"},
        // 0.0005 is stored slightly above the half, so it rounds up.
        RealCase{0.0005, 3, "0.001"},
        // Exact binary halves round to even.
        RealCase{0.125, 2, "0.12"}, RealCase{0.375, 2, "0.38"}, RealCase{0.25, 1, "0.2"},
        RealCase{0.75, 1, "0.8"}, RealCase{-0.25, 1, "-0.2"}, RealCase{2.5, 0, "2"}, RealCase{3.5, 0, "4"},
        // 1.0005 is stored just below the half: a naive scale-and-round gives 1.001.
        RealCase{1.0005, 3, "1.000"}, RealCase{2.675, 2, "2.67"}, RealCase{180.0, 1, "180.0"},
        RealCase{-180.0, 1, "-180.0"}, RealCase{90.0, 1, "90.0"}, RealCase{-179.96, 1, "-180.0"},
        RealCase{99.9996, 3, "100.000"}, RealCase{kInf, 3, "inf"}, RealCase{-kInf, 3, "-inf"},
        RealCase{kInf, 1, "inf"}, RealCase{kNaN, 3, "nan"}, RealCase{-kNaN, 3, "nan"},
        RealCase{std::copysign(kNaN, -1.0), 1, "nan"}, RealCase{1e21, 3, "1000000000000000000000.000"},
        RealCase{-9007199254740993.0, 1, "-9007199254740992.0"},
        RealCase{std::numeric_limits<double>::denorm_min(), 3, "0.000"}));

TEST(FormatReal, WritesEveryDigitOfHugeValues) {
  const std::string text = formatReal(1e300, 3);
  ASSERT_EQ(text.size(), 301u + 4u);
  EXPECT_EQ(text.substr(0, 17), "10000000000000000");  // 1e300 is not exact: digits follow
  EXPECT_EQ(text.substr(text.size() - 4), ".000");
  EXPECT_EQ(std::stod(text), 1e300);
  const std::string largest = formatReal(-std::numeric_limits<double>::max(), 1);
  EXPECT_EQ(largest.size(), 1u + 309u + 2u);
  EXPECT_EQ(largest.substr(0, 5), "-1797");
  EXPECT_EQ(std::stod(largest), -std::numeric_limits<double>::max());
}

TEST(FormatReal, LengthsAroundTheShortBufferAreWrittenWhole) {
  // Powers of two are exact, so their digit counts are known: 2^185 .. 2^215
  // with three decimals give texts of 60 to 69 characters.
  for (int exponent = 185; exponent <= 215; ++exponent) {
    const double x = std::ldexp(1.0, exponent);
    const std::size_t digits = static_cast<std::size_t>(std::floor(exponent * std::log10(2.0))) + 1;
    const std::string text = formatReal(x, 3);
    EXPECT_EQ(text.size(), digits + 4) << exponent;
    EXPECT_EQ(text.substr(text.size() - 4), ".000") << exponent;
    EXPECT_EQ(std::stod(text), x) << exponent;
    EXPECT_EQ(formatReal(-x, 3), "-" + text) << exponent;
  }
}

// The formatter against printf, which wrote every real before it: values of
// every magnitude, the texts' rounding boundaries and the special values.
TEST(FormatReal, AgreesWithPrintf) {
  testing::FixedPointCheck check;
  std::mt19937_64 random(4242);
  // Every bit pattern is as likely: huge, tiny, subnormal, NaN, infinite.
  for (int i = 0; i < 20'000; ++i) {
    const double x = std::bit_cast<double>(random());
    for (int decimals = 0; decimals <= 3; ++decimals) check.check(x, decimals);
  }
  // Everyday magnitudes, evenly on a log scale from 1e-5 to 1e17.
  std::uniform_real_distribution<double> exponent(-5.0, 17.0);
  for (int i = 0; i < 100'000; ++i) {
    const double x = std::pow(10.0, exponent(random)) * (i % 2 ? -1.0 : 1.0);
    check.check(x, 3);
    check.check(x, 1);
  }
  // 4 ulps either side of d.ddd5 x 10^e: near the texts' halves at every scale.
  std::uniform_int_distribution<int> mantissa(1000, 9999);
  for (int e = -3; e <= 15; ++e) {
    for (int i = 0; i < 400; ++i) {
      double x = (mantissa(random) * 10 + 5) * std::pow(10.0, e - 4);
      for (int u = 0; u < 4; ++u) x = std::nextafter(x, 0.0);
      for (int u = 0; u <= 8; ++u, x = std::nextafter(x, INFINITY)) {
        check.check(x, 3);
        check.check(x, 1);
        check.check(-x, 3);
      }
    }
  }
  const double specials[] = {0.0,
                             -0.0,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(),
                             std::nextafter(std::numeric_limits<double>::min(), 0.0),
                             0x1p53,
                             0x1p53 - 1,
                             std::nextafter(0x1p53, INFINITY),
                             0x1p64,
                             1e300,
                             std::numeric_limits<double>::max(),
                             kInf,
                             kNaN,
                             0.0005,
                             1.0005,
                             999.9995};
  for (const double x : specials) {
    for (int decimals = 0; decimals <= kMaxFixedDecimals; ++decimals) {
      check.check(x, decimals);
      check.check(-x, decimals);
    }
  }
  EXPECT_EQ(check.mismatches(), 0u) << check.first();
  EXPECT_GT(check.checked(), 400'000u);
}

// The values that lie exactly halfway between two texts (see checkTies):
// every one with |k| up to 2^22, and 4 ulps on either side of those up to
// 2^17. fixed_point_sweep (bench/base) checks 4 ulps around every tie up to
// 2^24, and 10^8 random values, which takes minutes.
TEST(FormatReal, RoundsEveryTieToEven) {
  testing::FixedPointCheck check;
  testing::checkTies(std::int64_t{1} << 22, 0, check);
  testing::checkTies(std::int64_t{1} << 17, 4, check);
  EXPECT_EQ(check.mismatches(), 0u) << check.first();
}

}  // namespace
}  // namespace rover
