#include "view/scene_geometry.h"

#include <algorithm>
#include <cmath>

namespace rover {

std::vector<Vec2> circleRim(Vec2 center, double radius) {
  constexpr int kSegments = 20;
  const float step = 2.0f * static_cast<float>(kPi) / static_cast<float>(kSegments);
  const float cosStep = std::cos(step);
  const float sinStep = std::sin(step);
  std::vector<Vec2> rim;
  rim.reserve(kSegments + 1);
  float x = 1.0f;
  float y = 0.0f;
  for (int i = 0; i < kSegments; ++i) {
    rim.push_back({center.x + radius * x, center.y + radius * y});
    const float nextX = x * cosStep - y * sinStep;
    const float nextY = x * sinStep + y * cosStep;
    x = nextX;
    y = nextY;
  }
  rim.push_back({center.x + radius * 1.0, center.y + radius * 0.0});
  return rim;
}

std::vector<Vec2> viewEllipseFan(Vec2 position, Vec2 direction, const ViewEllipse& view) {
  constexpr int kSegments = 36;
  const double major = view.major;
  const double minor = view.minor;
  const Vec2 across{-direction.y, direction.x};
  const Vec2 center = position + direction * view.offset;
  std::vector<Vec2> fan;
  fan.reserve(kSegments + 2);
  fan.push_back(center);
  for (int i = 0; i <= kSegments; ++i) {
    // The closing point reuses angle 0 so the rim meets itself exactly.
    const double theta = (i % kSegments) * 10.0 * kPi / 180.0;
    fan.push_back(center + direction * (major * std::cos(theta)) + across * (minor * std::sin(theta)));
  }
  return fan;
}

std::array<Vec2, 3> moverTriangle(Vec2 position, Vec2 direction, double size, double tail) {
  const Vec2 across{-direction.y, direction.x};
  const Vec2 back = position - direction * (size * tail);
  return {position + direction * size, back + across * size, back - across * size};
}

double triangleScale(double halfSize) {
  return halfSize / 200.0;
}

double triangleSize(double bodyRadius, double scale) {
  return std::max(bodyRadius, 5.0 * scale);
}

}  // namespace rover
