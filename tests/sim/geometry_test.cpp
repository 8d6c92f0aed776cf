#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "sim/geometry.h"

namespace rover {
namespace {

// Reference: the add/subtract loop, usable where it terminates quickly.
double loopNormalize(double x) {
  while (x < -180 || x > 180) {
    if (x < -180) x += 360;
    if (x > 180) x -= 360;
  }
  return x;
}

TEST(NormalizeAngle, Table) {
  struct Case {
    double in;
    double out;
  };
  const Case cases[] = {
      {0.0, 0.0},      {180.0, 180.0},   {-180.0, -180.0}, {540.0, 180.0}, {-540.0, -180.0}, {-190.0, 170.0},
      {190.0, -170.0}, {360.0, 0.0},     {720.5, 0.5},     {-359.0, 1.0},  {181.0, -179.0},  {-181.0, 179.0},
      {900.0, 180.0},  {-900.0, -180.0}, {1e300, 0.0},  // the double nearest 1e300 is an exact multiple of
                                                        // 360
  };
  for (const Case& c : cases) {
    EXPECT_EQ(normalizeAngle(c.in), c.out) << "input " << c.in;
  }
}

TEST(NormalizeAngle, NegativeMultipleOf360GivesPositiveZero) {
  for (double x : {-360.0, -720.0, -3600.0}) {
    const double r = normalizeAngle(x);
    EXPECT_EQ(r, 0.0);
    EXPECT_FALSE(std::signbit(r)) << x;
  }
  // A -0.0 already in range is left alone, as the loop would.
  EXPECT_TRUE(std::signbit(normalizeAngle(-0.0)));
}

TEST(NormalizeAngle, NonFiniteGivesNaN) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(std::isnan(normalizeAngle(inf)));
  EXPECT_TRUE(std::isnan(normalizeAngle(-inf)));
  EXPECT_TRUE(std::isnan(normalizeAngle(std::nan(""))));
}

TEST(NormalizeAngle, MatchesLoopBitForBit) {
  // Awkward fractions near the wrap points and a few turns out.
  for (int turns = -6; turns <= 6; ++turns) {
    for (double frac : {0.1, 179.9999999999, 180.0000000001, 0.3333333333333, 359.99999999999, 1e-13}) {
      const double x = turns * 360.0 + frac;
      EXPECT_EQ(normalizeAngle(x), loopNormalize(x)) << x;
      EXPECT_EQ(normalizeAngle(-x), loopNormalize(-x)) << -x;
    }
  }
}

TEST(BearingDegrees, Quadrants) {
  EXPECT_EQ(bearingDegrees({1, 0}), 0.0);
  EXPECT_EQ(bearingDegrees({0, 1}), 90.0);
  EXPECT_EQ(bearingDegrees({-1, 0}), 180.0);
  EXPECT_EQ(bearingDegrees({0, -1}), -90.0);
  EXPECT_EQ(bearingDegrees({1, 1}), std::atan2(1.0, 1.0) * 180 / kPi);
}

}  // namespace
}  // namespace rover
