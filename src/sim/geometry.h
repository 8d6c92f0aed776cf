#pragma once

#include <cmath>

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

}  // namespace rover
