#include "base/fixed_point_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

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

}  // namespace
}  // namespace rover
