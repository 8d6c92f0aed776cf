#include "sim/steering.h"

#include <cmath>

namespace rover {

namespace {

// The acceleration wish for arriving in `arrival` seconds after a heading
// change x: full speed when there is ample time to turn, braking when not.
double arrivalAccel(double x, double arrival, const SteerConstants& k) {
  double turnTime;
  if (x < kMinTurnAngle) {
    turnTime = 0.0;  // includes every negative x: only left turns are timed
  } else if (x < k.params.hardTurn) {
    turnTime = x * k.invTurn;
  } else {
    turnTime = x * k.invHardTurn;
  }
  if (arrival > kArrivalMargin * turnTime) return 1.0;
  if (arrival > turnTime) return 0.0;
  return -1.0;
}

int sign(double x) {
  return x > 0 ? 1 : (x < 0 ? -1 : 0);
}

}  // namespace

SteerConstants makeSteerConstants(const VehicleParams& martianParams) {
  SteerConstants k;
  k.invHardTurn = 1 / martianParams.hardTurn;
  k.invTurn = 1 / martianParams.turn;
  k.params = martianParams;
  return k;
}

SteerResult steerTo(Vec2 target, const MotionState& state, const SteerConstants& constants) {
  const Vec2 d = target - state.position;
  const double x = normalizeAngle(bearingDegrees(d) - state.heading);
  if (state.speed < kSlowSpeed) return {x, 1.0};
  return {x, arrivalAccel(x, length(d) / state.speed, constants)};
}

SteerResult steerAround(Vec2 center, double radius, const MotionState& state,
                        const SteerConstants& constants) {
  const Vec2 d = center - state.position;
  const double distance = length(d);
  const double s = (radius + kClearance) / distance;
  double alpha;
  if (s <= 1) {
    alpha = std::atan2(s, std::sqrt(1 - s * s)) * 180 / constants.pi;
  } else {
    alpha = constants.clearanceAngle;  // inside the clearance circle (or on the centre)
  }
  // Brought into [-180, 180] so that its sign names the side the Martian is
  // on even across the 180-degree seam (170 against a bearing of -179 is 10
  // degrees to the right of the bearing, not 349 to its left).
  const double rel = normalizeAngle(state.heading - bearingDegrees(d));
  const double x = normalizeAngle(rel >= 0 ? alpha - rel : -alpha - rel);
  if (state.speed < kSlowSpeed) return {x, 1.0};
  return {x, arrivalAccel(x, distance / state.speed, constants)};
}

SteerResult combine(std::initializer_list<Wish> wishes) {
  return combine(std::span<const Wish>(wishes.begin(), wishes.size()));
}

SteerResult combine(std::span<const Wish> wishes) {
  double total = 0.0;
  double x = 0.0;
  double a = 0.0;
  // Three sums, each in list order.
  for (const Wish& wish : wishes) {
    total += wish.w;
    x += wish.w * wish.x;
    a += wish.w * wish.a;
  }
  // Weights summing below one act weakly instead of being scaled up.
  const double divisor = (std::isnan(total) || total < 1.0) ? 1.0 : total;
  return {x / divisor, a / divisor};
}

ControlState toControl(SteerResult steer, const VehicleParams& params) {
  ControlState control;
  control.accel = steer.a < -kAccelDeadband ? -1 : (steer.a > kAccelDeadband ? 1 : 0);
  const double magnitude = std::fabs(steer.x);
  if (magnitude > params.turn) {
    control.turn = 2 * sign(steer.x);
  } else if (magnitude > kMinTurnAngle) {
    control.turn = sign(steer.x);
  }
  return control;
}

}  // namespace rover
