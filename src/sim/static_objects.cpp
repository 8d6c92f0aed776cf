#include "sim/static_objects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/failure.h"
#include "sim/touch_rules.h"

namespace rover {

namespace {

// A list this short is walked faster than a search is set up.
constexpr std::size_t kShortList = 8;

bool finite(Vec2 p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// The grid's rounding allowance holds for directions of about unit length
// (movers steer with cos and sin); any other is followed over the list.
bool nearUnit(double squaredLength) {
  return squaredLength >= 0.25 && squaredLength <= 4.0;
}

constexpr std::uint32_t kNoIndex = UINT32_MAX;

// How much farther than contact a Martian's contact search looks, and so
// the most it can be found clear by: about a second of a Martian's travel,
// against the search's cost growing with the square of its reach.
constexpr double kClearanceSearch = 1.0;
constexpr double kMartianContact2 = kMartianRadius * kMartianRadius;

}  // namespace

StaticObjects::StaticObjects(std::vector<WorldObject> objects, double halfSize)
    : objects_(std::move(objects)) {
  for (const WorldObject& object : objects_) {
    if (object.kind == ObjectKind::MartianObj) raiseFail("a Martian is no static object");
  }
  // The grid names objects by 32-bit index, kNoIndex excepted.
  if (objects_.size() >= kShortList && objects_.size() < kNoIndex) grid_.emplace(objects_, halfSize);
}

StaticObjects::MartianContact StaticObjects::martianContact(Vec2 p) const {
  MartianContact found;
  if (!finite(p)) {
    for (std::size_t k = 0; k < objects_.size() && !found.object; ++k) {
      const WorldObject& o = objects_[k];
      if (martianTouches(p, o.kind, o.circle.center, o.circle.radius)) found.object = k;
    }
    return found;
  }
  // Of the objects near p that it touches, the lowest index: the one a walk
  // meets first. The others, searched a little farther than contact, bound
  // how far the Martian may move before it could touch one.
  std::uint32_t first = kNoIndex;
  double clearance = kClearanceSearch;
  const auto consider = [&](std::uint32_t k, const WorldObject& o) {
    const Vec2 c = o.circle.center;
    const double r = o.circle.radius;
    if (martianTouches(p, o.kind, c, r)) {
      first = std::min(first, k);
      return;
    }
    // Away from the circle of contact, less an allowance for the rounding
    // of the contact test at the points it covers.
    const double reachOf = o.kind == ObjectKind::Crater ? std::fabs(r) : std::sqrt(kMartianContact2 + r * r);
    const double away =
        length(p - c) - reachOf -
        1e-9 * (1.0 + std::fabs(p.x) + std::fabs(p.y) + std::fabs(c.x) + std::fabs(c.y) + std::fabs(r));
    clearance = std::min(clearance, away);
  };
  if (!grid_) {
    for (std::size_t k = 0; k < objects_.size(); ++k) consider(static_cast<std::uint32_t>(k), objects_[k]);
  } else {
    grid_->visitNearBox(p, p, kMartianRadius + kClearanceSearch, [&](const ObjectGrid::Slot& slot) {
      consider(slot.index, objects_[slot.index]);
      return false;
    });
  }
  if (first != kNoIndex) {
    found.object = first;
  } else {
    found.clearance = std::max(clearance, 0.0);
  }
  return found;
}

std::optional<std::size_t> StaticObjects::roverContact(Vec2 p, std::span<const char> visible) const {
  const auto touches = [&](std::size_t k, ObjectKind kind, Vec2 c, double r) {
    const Vec2 d = p - c;
    return visible[k] != 0 && roverTouches(kind, d.x * d.x + d.y * d.y, r);
  };
  if (!grid_ || !finite(p)) {
    for (std::size_t k = 0; k < objects_.size(); ++k) {
      if (touches(k, objects_[k].kind, objects_[k].circle.center, objects_[k].circle.radius)) return k;
    }
    return std::nullopt;
  }
  std::uint32_t first = kNoIndex;
  grid_->visitNearBox(p, p, kRoverRadius, [&](const ObjectGrid::Slot& slot) {
    if (slot.index < first && touches(slot.index, slot.kind, slot.center, slot.radius)) first = slot.index;
    return false;
  });
  if (first == kNoIndex) return std::nullopt;
  return first;
}

std::optional<Hit> StaticObjects::lookAhead(const MotionState& state) const {
  const double reach = state.speed * kLookAheadSeconds;
  const Vec2 u = state.direction;
  const Vec2 p = state.position;
  const double uu = dot(u, u);
  std::optional<Hit> best;
  std::size_t bestIndex = 0;
  // The nearest, and among equal distances the earlier object, whatever
  // order the objects come in.
  const auto consider = [&](std::size_t k, ObjectKind kind, Vec2 c, double radius) {
    double r;
    if (!lookAheadRadius(kind, radius, r)) return;
    const double s = rayCircleEntry(p, u, uu, c, r);
    if (s >= 0 && s <= reach && (!best || s < best->t || (s == best->t && k < bestIndex))) {
      best = Hit{s, c, r};
      bestIndex = k;
    }
  };
  if (!grid_ || !nearUnit(uu) || !finite(p) || !std::isfinite(reach)) {
    for (std::size_t k = 0; k < objects_.size(); ++k) {
      consider(k, objects_[k].kind, objects_[k].circle.center, objects_[k].circle.radius);
    }
    return best;
  }
  grid_->visitNearSegment(p, p + u * reach, kMartianRadius, [&](const ObjectGrid::Slot& slot) {
    consider(slot.index, slot.kind, slot.center, slot.radius);
    return false;
  });
  return best;
}

void StaticObjects::sense(const ViewEllipse& view, Vec2 e, double cosH, double sinH,
                          std::span<char> inside) const {
  if (!grid_ || !finite(e) || !std::isfinite(view.major)) {
    for (std::size_t k = 0; k < objects_.size(); ++k) {
      inside[k] = insideViewEllipse(view, e, cosH, sinH, objects_[k].circle);
    }
    return;
  }
  std::fill(inside.begin(), inside.end(), 0);
  // An object inside the ellipse has its near edge at most `major` from e.
  grid_->visitNearBox(e, e, view.major, [&](const ObjectGrid::Slot& slot) {
    if (insideViewEllipse(view, e, cosH, sinH, {slot.center, slot.radius})) inside[slot.index] = 1;
    return false;
  });
}

void StaticObjects::hides(Vec2 viewer, std::span<const SightTarget> targets, std::span<const char> seen,
                          SightLines& lines, std::vector<char>& hidden) const {
  hidden.assign(targets.size(), 0);
  if (targets.empty()) return;
  // Each seen boulder filed by the directions in which it could cut a
  // sight line: one pass's sight lines only meet the few of theirs.
  lines.build(viewer, objects_, seen);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const CircleObject& target = targets[i].circle;
    const Vec2 toTarget = target.center - viewer;
    const double distance = length(toTarget);
    const double limit = distance - target.radius;
    if (!(limit > 0)) continue;
    const Vec2 v = {toTarget.x / distance, toTarget.y / distance};
    hidden[i] = lines.cuts(v, limit, targets[i].self);
  }
}

}  // namespace rover
