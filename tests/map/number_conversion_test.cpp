#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "map/number_conversion.h"
#include "map_test_support.h"

namespace rover::testing {
namespace {

struct IntegerCase {
  const char* text;
  double expected;
};

class IntegerToNearestDouble : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerToNearestDouble, RoundsToNearestTiesToEven) {
  double got = nearestDouble(mpz_class(GetParam().text));
  EXPECT_EQ(std::memcmp(&got, &GetParam().expected, sizeof got), 0)
      << GetParam().text << " gave " << got << " (bits differ)";
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, IntegerToNearestDouble,
    ::testing::Values(
        IntegerCase{"0", 0.0}, IntegerCase{"-0", 0.0}, IntegerCase{"1", 1.0}, IntegerCase{"-7", -7.0},
        IntegerCase{"9007199254740992", 9007199254740992.0},  // 2^53
        IntegerCase{"9007199254740993", 9007199254740992.0},  // tie, down to even
        IntegerCase{"9007199254740995", 9007199254740996.0},  // tie, up to even
        IntegerCase{"9007199254740994", 9007199254740994.0},  // exact
        IntegerCase{"-9007199254740993", -9007199254740992.0},
        IntegerCase{"-9007199254740995", -9007199254740996.0},
        IntegerCase{"18014398509481989", 18014398509481988.0},  // below half
        IntegerCase{"18014398509481990", 18014398509481992.0},  // tie, up to even
        IntegerCase{"18014398509481991", 18014398509481992.0},  // above half
        // 2^64 + 2^11 + 1: above the tie between 2^64 and 2^64 + 2^12, so up.
        IntegerCase{"18446744073709553665", 18446744073709555712.0},
        IntegerCase{"18446744073709553664", 18446744073709551616.0},  // exact tie, down
        // The largest double, and just below the tie with 2^1024.
        IntegerCase{"179769313486231570814527423731704356798070567525844996598917476803157260780028538760589"
                    "558632766878171540458953514382464234321326889464182768467546703537516986049910576551282"
                    "076245490090389328944075868508455133942304583236903222948165808559332123348274797826204"
                    "144723168738177180919299881250404026184124858368",
                    std::numeric_limits<double>::max()},
        // 2^1024 - 2^970: the tie above the largest double rounds to even, beyond the range.
        IntegerCase{"179769313486231580793728971405303415079934132710037826936173778980444968292764750946649"
                    "017977587207096330286416692887910946555547851940402630657488671505820681908902000708383"
                    "676273854845817711531764475730270069855571366959622842914819860834936475292719074168444"
                    "365510704342711559699508093042880177904174497792",
                    kInf},
        IntegerCase{"-1000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                    "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                    "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                    "00000000000000000000000000000000000000000000000000000000000000000000000000000000000",
                    -kInf}));

TEST(IntegerToNearestDouble, MinusZeroTokenIsPositiveZero) {
  const JsonDocument document = parseText("-0");
  double converted = nearestDouble(document.root().integer());
  EXPECT_EQ(converted, 0.0);
  EXPECT_FALSE(std::signbit(converted));
}

TEST(IntegerToNearestDouble, HugeIntegerOfMillionDigits) {
  std::string digits = "-" + std::string(1'000'000, '9');
  EXPECT_EQ(nearestDouble(mpz_class(digits)), -kInf);
}

struct RealCase {
  const char* text;
  double expected;
};

class RealText : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealText, NearestDouble) {
  double got = parseRealText(GetParam().text);
  EXPECT_EQ(std::memcmp(&got, &GetParam().expected, sizeof got), 0) << GetParam().text << " gave " << got;
}

INSTANTIATE_TEST_SUITE_P(Table, RealText,
                         ::testing::Values(RealCase{"0.1", 0.1}, RealCase{"-0.0", -0.0}, RealCase{"1e0", 1.0},
                                           RealCase{"4e-320", 4e-320},  // subnormal
                                           RealCase{"1e-400", 0.0},     // rounds to zero
                                           RealCase{"-1e-400", -0.0},   //
                                           RealCase{"2.2250738585072011e-308", 2.2250738585072011e-308},
                                           RealCase{"4.9406564584124654e-324", 4.9406564584124654e-324},
                                           RealCase{"1e400", kInf},    //
                                           RealCase{"-1e400", -kInf},  //
                                           RealCase{"9007199254740993.0", 9007199254740992.0},
                                           RealCase{"1.7976931348623157e308", 1.7976931348623157e308}));

TEST(RealText, IndependentOfTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  // Any locale with a decimal comma will do; skip the check if none is installed.
  const char* candidates[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"};
  bool switched = false;
  for (const char* name : candidates) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      switched = true;
      break;
    }
  }
  double got = parseRealText("1.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(got, 1.5);
}

TEST(RealText, SubnormalAndUnderflowLoadAsNumbers) {
  MapSpec map = loadText(mapWith("\"size\": 100", "\"size\": 4e-320"));
  EXPECT_EQ(map.halfSize, 4e-320 * 0.5);
  map = loadText(mapWith("\"size\": 100", "\"size\": -1e-400"));
  EXPECT_EQ(map.halfSize, 0.0);
  EXPECT_TRUE(std::signbit(map.halfSize));
}

}  // namespace
}  // namespace rover::testing

namespace rover::testing {
namespace {

TEST(IntegerToNearestDouble, NeighboursOfTheTopTie) {
  mpz_class tie = (mpz_class(1) << 1024) - (mpz_class(1) << 970);
  EXPECT_EQ(nearestDouble(tie - 1), std::numeric_limits<double>::max());
  EXPECT_EQ(nearestDouble(tie + 1), kInf);
  EXPECT_EQ(nearestDouble(-(tie - 1)), -std::numeric_limits<double>::max());
}

}  // namespace
}  // namespace rover::testing
