#pragma once

// The plain walks over a static object list that the searches of
// StaticObjects replace, kept here as the oracle they are checked against:
// every object in list order, the exact test of each query, no grid.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "sim/static_objects.h"
#include "sim/touch_rules.h"

namespace rover::testing {

inline std::optional<std::size_t> walkMartianContact(const std::vector<WorldObject>& list, Vec2 p) {
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (martianTouches(p, list[k].kind, list[k].circle.center, list[k].circle.radius)) return k;
  }
  return std::nullopt;
}

inline std::optional<std::size_t> walkRoverContact(const std::vector<WorldObject>& list, Vec2 p,
                                                   std::span<const char> visible) {
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (visible[k] == 0) continue;
    const Vec2 d = p - list[k].circle.center;
    if (roverTouches(list[k].kind, d.x * d.x + d.y * d.y, list[k].circle.radius)) return k;
  }
  return std::nullopt;
}

// The nearest candidate; a later one only when strictly nearer.
inline std::optional<Hit> walkLookAhead(const std::vector<WorldObject>& list, const MotionState& state) {
  const double reach = state.speed * kLookAheadSeconds;
  const Vec2 u = state.direction;
  std::optional<Hit> best;
  for (const WorldObject& object : list) {
    double r;
    if (!lookAheadRadius(object.kind, object.circle.radius, r)) continue;
    const double s = rayCircleEntry(state.position, u, dot(u, u), object.circle.center, r);
    if (s >= 0 && s <= reach && (!best || s < best->t)) best = Hit{s, object.circle.center, r};
  }
  return best;
}

inline std::vector<char> walkSense(const std::vector<WorldObject>& list, const ViewEllipse& view, Vec2 e,
                                   double cosH, double sinH) {
  std::vector<char> inside;
  for (const WorldObject& object : list)
    inside.push_back(insideViewEllipse(view, e, cosH, sinH, object.circle));
  return inside;
}

inline bool walkHides(const std::vector<WorldObject>& list, Vec2 viewer, Vec2 v, double limit,
                      std::span<const char> seen, std::size_t target) {
  for (std::size_t k = 0; k < list.size(); ++k) {
    if (list[k].kind != ObjectKind::Boulder || seen[k] == 0 || k == target) continue;
    const double s = rayCircleEntry(viewer, v, 1.0, list[k].circle.center, list[k].circle.radius);
    if (s >= 0 && s < limit) return true;
  }
  return false;
}

// Each target's occlusion as sensing judged it target by target: a near edge
// strictly ahead, and a seen boulder that cuts the sight line toward its
// centre before that edge.
inline std::vector<char> walkHidden(const std::vector<WorldObject>& list, Vec2 viewer,
                                    const std::vector<SightTarget>& targets, std::span<const char> seen) {
  std::vector<char> hidden;
  for (const SightTarget& target : targets) {
    const Vec2 toTarget = target.circle.center - viewer;
    const double distance = length(toTarget);
    const double limit = distance - target.circle.radius;
    const Vec2 v = {toTarget.x / distance, toTarget.y / distance};
    hidden.push_back(limit > 0 && walkHides(list, viewer, v, limit, seen, target.self));
  }
  return hidden;
}

}  // namespace rover::testing
