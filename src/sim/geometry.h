#pragma once

#include <cmath>
#include <limits>

namespace rover {

// The one value of pi used for every degree/radian conversion.
inline constexpr double kPi = 3.141592653589793;

// A position or direction on the map; x first, then y, everywhere.
struct Vec2 {
  double x = 0.0;
  double y = 0.0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
  return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
  return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, double s) {
  return {a.x * s, a.y * s};
}
inline double dot(Vec2 a, Vec2 b) {
  return a.x * b.x + a.y * b.y;
}
inline double length(Vec2 a) {
  return std::sqrt(a.x * a.x + a.y * a.y);
}

// Brings an angle in degrees into [-180, 180] with the result of "add 360
// while below -180, subtract 360 while above 180", computed in constant time
// so that huge or infinite inputs cannot hang the server.
double normalizeAngle(double degrees);

// atan2(d.y, d.x) in degrees, counterclockwise from +x.
double bearingDegrees(Vec2 d);

// The smaller root s of |origin + s * dir - center|^2 = radius^2, that is
// where the line through origin along dir enters the circle, or NaN when it
// misses. `dirSquared` is the value taken for dir . dir (1 for a unit vector).
// Inline: it sits in the inner loops of sensing and look-ahead.
inline double rayCircleEntry(Vec2 origin, Vec2 dir, double dirSquared, Vec2 center, double radius) {
  const Vec2 w = origin - center;
  const double b = 2 * dot(dir, w);
  const double c = dot(w, w) - radius * radius;
  const double disc = b * b - 4 * dirSquared * c;
  if (disc < 0) return std::numeric_limits<double>::quiet_NaN();
  return (-b - std::sqrt(disc)) / (2 * dirSquared);
}

}  // namespace rover
