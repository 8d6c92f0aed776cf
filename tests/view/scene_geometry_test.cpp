#include "view/scene_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/world.h"

namespace rover {
namespace {

double distance(Vec2 a, Vec2 b) {
  return length(a - b);
}

TEST(CircleRim, StartsAtAngleZeroTurnsCounterClockwiseAndClosesExactly) {
  const Vec2 center{10.0, -20.0};
  const double radius = 3.0;
  const std::vector<Vec2> rim = circleRim(center, radius);
  ASSERT_EQ(rim.size(), 21u);
  EXPECT_EQ(rim.front().x, 13.0);
  EXPECT_EQ(rim.front().y, -20.0);
  EXPECT_EQ(rim.back().x, rim.front().x);
  EXPECT_EQ(rim.back().y, rim.front().y);
  for (int i = 0; i < 20; ++i) {
    const double angle = i * 18.0 * kPi / 180.0;
    const Vec2 expected{center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
    // The unit vector is rotated step by step in single precision.
    EXPECT_NEAR(rim[i].x, expected.x, 1e-5) << "rim point " << i;
    EXPECT_NEAR(rim[i].y, expected.y, 1e-5) << "rim point " << i;
  }
  // A quarter turn in: straight above the centre.
  EXPECT_NEAR(rim[5].x, 10.0, 1e-5);
  EXPECT_NEAR(rim[5].y, -17.0, 1e-5);
}

TEST(CircleRim, HomeBaseRimLiesOnRadiusFive) {
  for (Vec2 point : circleRim({0.0, 0.0}, 5.0)) EXPECT_NEAR(length(point), 5.0, 1e-5);
}

struct EllipseCase {
  const char* name;
  Vec2 position;
  double heading;
  double frontView;
  double rearView;
};

class ViewEllipseFanTest : public ::testing::TestWithParam<EllipseCase> {};

TEST_P(ViewEllipseFanTest, ReachesFrontViewAheadAndRearViewBehind) {
  const EllipseCase& c = GetParam();
  const double radians = c.heading * kPi / 180.0;
  const Vec2 d{std::cos(radians), std::sin(radians)};
  VehicleParams params;
  params.frontView = c.frontView;
  params.rearView = c.rearView;
  const std::vector<Vec2> fan = viewEllipseFan(c.position, d, makeViewEllipse(params));
  ASSERT_EQ(fan.size(), 38u);  // centre, 36 segments, closing point

  const double offset = (c.frontView - c.rearView) / 2;
  EXPECT_NEAR(distance(fan[0], c.position + d * offset), 0.0, 1e-9);
  EXPECT_NEAR(distance(fan[1], c.position + d * c.frontView), 0.0, 1e-9);  // 0 degrees: ahead
  EXPECT_NEAR(distance(fan[19], c.position - d * c.rearView), 0.0, 1e-9);  // 180 degrees: behind
  EXPECT_EQ(fan[37].x, fan[1].x);
  EXPECT_EQ(fan[37].y, fan[1].y);

  // Every rim point lies on the ellipse with the rover at a focus: the sum
  // of the distances to both foci is the major axis.
  const Vec2 otherFocus = c.position + d * (2 * offset);
  for (std::size_t i = 1; i < fan.size(); ++i) {
    EXPECT_NEAR(distance(fan[i], c.position) + distance(fan[i], otherFocus), c.frontView + c.rearView, 1e-9)
        << "rim point " << i;
  }
  // 90 degrees is to the left of the heading.
  const Vec2 left{-d.y, d.x};
  EXPECT_GT(dot(fan[10] - fan[0], left), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Views, ViewEllipseFanTest,
                         ::testing::Values(EllipseCase{"AheadLong", {40.0, 40.0}, -135.0, 30.0, 5.0},
                                           EllipseCase{"Circle", {0.0, 0.0}, 0.0, 12.0, 12.0},
                                           EllipseCase{"LongerBehind", {-7.5, 3.0}, 90.0, 4.0, 20.0}),
                         [](const ::testing::TestParamInfo<EllipseCase>& info) { return info.param.name; });

TEST(MoverTriangle, TipPointsAlongTheDirectionAndTailIsBehind) {
  struct Case {
    Vec2 position;
    Vec2 direction;
    double size;
    double tail;
    std::array<Vec2, 3> expected;
  };
  const Case cases[] = {
      {{1.0, 2.0}, {1.0, 0.0}, 2.0, 1.0, {{{3.0, 2.0}, {-1.0, 4.0}, {-1.0, 0.0}}}},
      {{0.0, 0.0}, {0.0, 1.0}, 1.0, 0.5, {{{0.0, 1.0}, {-1.0, -0.5}, {1.0, -0.5}}}},
      {{5.0, 5.0}, {-1.0, 0.0}, 0.5, 2.0, {{{4.5, 5.0}, {6.0, 4.5}, {6.0, 5.5}}}},
  };
  for (const Case& c : cases) {
    const std::array<Vec2, 3> triangle = moverTriangle(c.position, c.direction, c.size, c.tail);
    for (int i = 0; i < 3; ++i) {
      EXPECT_DOUBLE_EQ(triangle[i].x, c.expected[i].x) << "corner " << i;
      EXPECT_DOUBLE_EQ(triangle[i].y, c.expected[i].y) << "corner " << i;
    }
  }
}

TEST(TriangleSize, BodyRadiusIsTheFloor) {
  struct Case {
    double halfSize;
    double bodyRadius;
    double expected;
  };
  const Case cases[] = {
      {50.0, 0.5, 1.25},                    // 5 * 50 / 200
      {50.0, 0.4, 1.25}, {10.0, 0.5, 0.5},  // the scale term (0.25) is smaller than the body
      {10.0, 0.4, 0.4},  {1000.0, 0.5, 25.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(triangleSize(c.bodyRadius, triangleScale(c.halfSize)), c.expected) << c.halfSize;
  }
}

TEST(TriangleSize, MoversStayVisibleOnAnyMapSize) {
  // The map square fills 600 pixels; a triangle is (1 + tail) sizes long
  // and 2 sizes wide. Keep it at least a few pixels whatever the map size.
  for (double halfSize : {0.5, 5.0, 50.0, 500.0, 5e4, 5e7}) {
    for (double body : {kRoverRadius, kMartianRadius}) {
      const double size = triangleSize(body, triangleScale(halfSize));
      const double pixelsPerUnit = 600.0 / (2.0 * halfSize);
      EXPECT_GE(size * (1.0 + kTriangleTail) * pixelsPerUnit, 10.0) << halfSize;
      EXPECT_GE(2.0 * size * pixelsPerUnit, 10.0) << halfSize;
    }
  }
}

}  // namespace
}  // namespace rover
