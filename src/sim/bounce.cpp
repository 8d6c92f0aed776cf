#include "sim/bounce.h"

#include <cmath>

#include "sim/constants.h"

namespace rover {

MotionState bounceOff(const MotionState& state, Vec2 normal, double depth) {
  const Vec2 u = state.direction * state.speed;
  const double along = kBounceFactor * dot(u, normal);
  const Vec2 reflected = {u.x - along * normal.x, u.y - along * normal.y};
  const double s = length(reflected);
  MotionState next;
  next.speed = s;
  next.rotation = 0.0;
  next.direction = s < kMinVectorLength ? reflected : Vec2{reflected.x / s, reflected.y / s};
  next.heading = normalizeAngle(bearingDegrees(next.direction));
  next.position = state.position + normal * (depth + kPushOutMargin);
  return next;
}

std::optional<WallContact> findWallContact(Vec2 p, double bound) {
  if (p.x < -bound) return WallContact{{1.0, 0.0}, -bound - p.x};
  if (p.x > bound) return WallContact{{-1.0, 0.0}, p.x - bound};
  if (p.y < -bound) return WallContact{{0.0, 1.0}, -bound - p.y};
  if (p.y > bound) return WallContact{{0.0, -1.0}, p.y - bound};
  return std::nullopt;
}

MotionState bounceOffCircle(const MotionState& state, Vec2 center, double contactDistance) {
  const Vec2 v = state.position - center;
  const double d = length(v);
  // A mover sitting on the centre keeps the tiny vector as its normal
  // instead of dividing by (almost) zero.
  const Vec2 normal = d < kMinVectorLength ? v : Vec2{v.x / d, v.y / d};
  return bounceOff(state, normal, contactDistance - d);
}

}  // namespace rover
