#pragma once

#include <cmath>

namespace rover::pilot {

inline constexpr double kPi = 3.141592653589793;

struct Point {
  double x = 0.0;
  double y = 0.0;
};

inline Point operator+(Point a, Point b) {
  return {a.x + b.x, a.y + b.y};
}
inline Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
inline Point operator*(Point a, double s) {
  return {a.x * s, a.y * s};
}
inline double length(Point a) {
  return std::sqrt(a.x * a.x + a.y * a.y);
}
inline double distance(Point a, Point b) {
  return length(a - b);
}

/// Brings an angle in degrees into [-180, 180].
inline double wrapDegrees(double angle) {
  while (angle < -180.0) angle += 360.0;
  while (angle > 180.0) angle -= 360.0;
  return angle;
}

/// Direction from one point to another in degrees, counterclockwise from +x.
inline double bearing(Point from, Point to) {
  return std::atan2(to.y - from.y, to.x - from.x) * 180.0 / kPi;
}

}  // namespace rover::pilot
