// The library reads the wire's reals by a fast exact path; std::from_chars
// is the oracle: the same double, bit for bit, for every text the wire can
// carry, and every field of a T in its place.
#include "lib/telemetry_fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/fixed_point_text.h"

namespace rover {
namespace {

std::string wireText(double x, int decimals) {
  char text[kFixedTextCapacity];
  return std::string(text, writeFixed(text, x, decimals));
}

double oracle(const std::string& text) {
  double value = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Doubles of every size and sign, the edges among them.
std::vector<double> samples() {
  std::vector<double> values = {0.0,
                                -0.0,
                                0.0004,
                                -0.0004,
                                0.0005,
                                -0.0005,
                                0.05,
                                0.15,
                                0.25,
                                1e-300,
                                999999.9995,
                                9007199254740993.0,
                                123456789012.345,
                                1e15,
                                1e22,
                                1e300,
                                -1e300,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 random(26);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-8, 18);
  for (int i = 0; i < 200000; ++i) values.push_back(unit(random) * std::pow(10.0, exponent(random)));
  for (int i = 0; i < 20000; ++i) values.push_back(std::bit_cast<double>(random()));  // any bits at all
  return values;
}

TEST(TelemetryFields, RealsAreTheDoubleNearestTheirText) {
  for (const double x : samples()) {
    for (const int decimals : {3, 1}) {
      const std::string text = wireText(x, decimals);
      const double got = readReal(text);
      const double expected = oracle(text);
      if (std::isnan(expected)) {
        ASSERT_TRUE(std::isnan(got)) << text;
      } else {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << text;
      }
    }
  }
  for (const char* bad : {"", "-", "5..0", "1-2", "x", "12.3.4", "--1"}) {
    EXPECT_THROW(readReal(bad), Failure) << bad;
  }
}

TEST(TelemetryFields, EveryFieldInItsPlace) {
  TelemetryFields fields;
  readTelemetry(
      "T 1500 aR 12.345 -6.000 90.0 3.250 h 0.000 0.000 5.000 m -1.500 2.000 -179.9 0.400 b 1e+300 inf "
      "nan c 7.000 8.000 9.000 ;",
      fields);
  EXPECT_EQ(fields.timeMillis, 1500);
  EXPECT_EQ(std::string(fields.control, 2), "aR");
  EXPECT_EQ(fields.accel, 1);
  EXPECT_EQ(fields.turn, -2);
  EXPECT_EQ(fields.x, 12.345);
  EXPECT_EQ(fields.y, -6.0);
  EXPECT_EQ(fields.heading, 90.0);
  EXPECT_EQ(fields.speed, 3.25);
  ASSERT_EQ(fields.objects.size(), 4u);
  EXPECT_EQ(fields.objectCount, 4u);
  EXPECT_EQ(fields.objects[0].kind, 'h');
  EXPECT_EQ(fields.objects[0].radius, 5.0);
  EXPECT_EQ(fields.objects[1].kind, 'm');
  EXPECT_EQ(fields.objects[1].heading, -179.9);
  EXPECT_EQ(fields.objects[1].speed, 0.4);
  EXPECT_EQ(fields.objects[1].radius, 0.0);
  EXPECT_EQ(fields.objects[2].x, 1e300);
  EXPECT_TRUE(std::isinf(fields.objects[2].y));
  EXPECT_TRUE(std::isnan(fields.objects[2].radius));
  EXPECT_EQ(fields.objects[3].kind, 'c');
  EXPECT_EQ(fields.objects[3].radius, 9.0);

  // Read as far as asked: the objects counted, the first ones read alike.
  TelemetryFields firstTwo;
  readTelemetry(
      "T 1500 aR 12.345 -6.000 90.0 3.250 h 0.000 0.000 5.000 m -1.500 2.000 -179.9 0.400 b 1e+300 inf "
      "nan c 7.000 8.000 9.000 ;",
      firstTwo, 2);
  EXPECT_EQ(firstTwo.objectCount, 4u);
  ASSERT_EQ(firstTwo.objects.size(), 2u);
  EXPECT_EQ(firstTwo.objects[1].heading, -179.9);
  EXPECT_EQ(firstTwo.speed, 3.25);

  // The storage is reused: fewer objects leave none behind.
  readTelemetry("T 0 -- 0.000 0.000 0.0 0.000 ;", fields);
  EXPECT_EQ(fields.objects.size(), 0u);
  EXPECT_EQ(messageTime("E 3000 3100 ;"), 3000);
  for (const char* bad :
       {"B 10 ;", "T 0 -x 0.000 0.000 0.0 0.000 ;", "T 0 -- 0.000 0.000 0.0 ;", "T 0 -- 0 0 0 0 bb 1 2 3 ;"})
    EXPECT_THROW(readTelemetry(bad, fields), Failure) << bad;
}

}  // namespace
}  // namespace rover
