#include "sim/martian.h"

#include <algorithm>
#include <cmath>

namespace rover {

namespace {

// 25 / (distance - view), or no pull when that is undefined or negative.
double roverPull(double distance, double view) {
  const double denominator = distance - view;
  if (denominator == 0.0) return 0.0;
  const double w = kRoverPull / denominator;
  return (std::isnan(w) || w < 0.0) ? 0.0 : w;
}

}  // namespace

void decideMartian(Martian& martian, const MotionState& rover, const StaticObjects& statics,
                   const SteerConstants& constants, Random& random) {
  const MotionState& m = martian.motion;
  const double u = random.nextUnit();
  martian.wanderAngle =
      std::clamp(martian.wanderAngle + ((2 * kWanderStep) * u - kWanderStep), -kWanderLimit, kWanderLimit);

  const double turned = (m.heading + martian.wanderAngle) * constants.pi / 180;
  const Vec2 target = m.position + m.direction + Vec2{std::cos(turned), std::sin(turned)};
  const SteerResult wander = steerTo(target, m, constants);
  const SteerResult chase = steerTo(rover.position, m, constants);
  const Wish wanderWish{wander.x, wander.a, kWanderWeight};
  const Wish roverWish{chase.x, chase.a, roverPull(length(rover.position - m.position), martian.view)};
  const SteerResult blended = combine({roverWish, wanderWish});

  MotionState ahead = m;
  ahead.heading = normalizeAngle(m.heading + blended.x);
  const double r = ahead.heading * constants.pi / 180;
  ahead.direction = {std::cos(r), std::sin(r)};
  ahead.rotation = 0.0;

  Wish obstacleWish;
  if (const std::optional<Hit> hit = statics.lookAhead(ahead)) {
    const SteerResult around = steerAround(hit->center, hit->radius, m, constants);
    const double distance = length(hit->center - m.position);
    obstacleWish = {around.x, around.a, distance == 0.0 ? 0.0 : kObstacleWeight / distance};
  }
  martian.control = toControl(combine({obstacleWish, roverWish, wanderWish}), constants.params);
}

}  // namespace rover
