#pragma once

// Random maps and movers with what a map may hold and a run may reach, for
// the tests that check the static objects' searches against plain walks.

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "sim/motion.h"
#include "sim/world.h"
#include "sim_fixtures.h"

namespace rover::testing {

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Random maps and states with what a map may hold and a run may reach:
// objects off the terrain, coincident centres and exact duplicates, mirror
// images (equal ray distances), radii that are zero, negative, huge,
// infinite or NaN, movers on object centres, far away or at NaN.
class Generator {
 public:
  explicit Generator(std::uint64_t seed) : gen_(seed) {}

  double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(gen_); }
  double between(double a, double b) { return a + (b - a) * unit(); }
  bool chance(double p) { return unit() < p; }
  int upTo(int n) { return static_cast<int>(unit() * n); }

  double wild() {
    const double values[] = {kNaN, kInf, -kInf, 1e300, -1e300, 1e15, -1e9, 1e-300, 0.0, -0.0};
    return values[upTo(10)];
  }

  const WorldObject& pick(const std::vector<WorldObject>& list) {
    return list[static_cast<std::size_t>(upTo(static_cast<int>(list.size())))];
  }

  Vec2 place(double half, const std::vector<WorldObject>& earlier) {
    const double roll = unit();
    if (roll < 0.1 && !earlier.empty()) return pick(earlier).circle.center;
    if (roll < 0.15) return {wild(), chance(0.5) ? wild() : between(-half, half)};
    if (roll < 0.25) return {between(-1e3, 1e3) * half, between(-1e3, 1e3) * half};  // far off the terrain
    if (roll < 0.3) return {std::round(between(-half, half)), 0.0};                  // on an axis
    return {between(-1.2, 1.2) * half, between(-1.2, 1.2) * half};
  }

  double radius(double typical) {
    const double roll = unit();
    if (roll < 0.05) return 0.0;
    if (roll < 0.1) return -between(0.0, typical);
    if (roll < 0.13) return between(10.0, 1000.0) * typical;
    if (roll < 0.16) return wild();
    return between(0.0, typical);
  }

  std::vector<WorldObject> objects(double half) {
    std::vector<WorldObject> list;
    if (chance(0.9)) list.push_back(homeObject());
    const int count = chance(0.2) ? upTo(8) : upTo(300);
    const double typical = chance(0.5) ? 3.0 : half * between(0.01, 0.3);
    for (int i = 0; i < count; ++i) {
      WorldObject object;
      object.kind = chance(0.4) ? ObjectKind::Crater : ObjectKind::Boulder;
      if (chance(0.03)) object.kind = ObjectKind::Home;
      object.circle = {place(half, list), radius(typical)};
      if (!list.empty() && chance(0.1)) {
        // An exact duplicate, or a mirror image across an axis.
        object.circle = pick(list).circle;
        if (chance(0.5)) object.circle.center.y = -object.circle.center.y;
        if (chance(0.3)) object.circle.center.x = -object.circle.center.x;
      }
      object.id = static_cast<int>(list.size());
      list.push_back(object);
      if (chance(0.05)) {
        // Its mirror image across the x axis, which it overlaps: equal
        // distances along that axis, the later object often in a cell
        // searched first.
        object.circle.center.y = -std::fabs(object.circle.radius) * between(0.1, 0.9);
        list.back().circle.center.y = -object.circle.center.y;
        object.id = static_cast<int>(list.size());
        list.push_back(object);
      }
    }
    return list;
  }

  MotionState mover(double half, const std::vector<WorldObject>& objects) {
    Vec2 p = {between(-half, half), between(-half, half)};
    const double roll = unit();
    if (roll < 0.15 && !objects.empty()) p = pick(objects).circle.center;
    if (roll > 0.97) p = {wild(), between(-half, half)};
    const double headings[] = {0.0, 90.0, 180.0, -90.0};
    const double heading = chance(0.3) ? headings[upTo(4)] : between(-180.0, 180.0);
    double speed = between(0.0, 5.0);
    if (chance(0.1)) speed = 0.0;
    if (chance(0.05)) speed = between(1.0, 100.0) * half;  // a look-ahead across the map
    if (chance(0.02)) speed = wild();
    return startMotionState(p.x, p.y, heading, std::fabs(speed));
  }

  VehicleParams params() {
    VehicleParams p = roverParams();
    p.maxSpeed = between(0.5, 8.0);
    const double roll = unit();
    p.frontView = between(5.0, 60.0);
    p.rearView = between(0.0, p.frontView);
    if (roll < 0.15) p.frontView = between(100.0, 3000.0);  // sees most of the map
    if (roll > 0.95) p.frontView = wild();
    if (roll > 0.9 && roll <= 0.95) p.rearView = -between(0.0, 10.0);
    return p;
  }

 private:
  std::mt19937_64 gen_;
};

}  // namespace rover::testing
