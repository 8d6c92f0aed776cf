#include "sim/motion.h"

#include <cmath>
#include <string>

#include "base/failure.h"

namespace rover {

namespace {

double targetRotation(const VehicleParams& p, int turn) {
  switch (turn) {
    case 2:
      return p.hardTurn;
    case 1:
      return p.turn;
    case 0:
      return 0.0;
    case -1:
      return -p.turn;
    case -2:
      return -p.hardTurn;
    default:
      raiseFail("turn state out of range: " + std::to_string(turn));
  }
}

double acceleration(const VehicleParams& p, int accel) {
  switch (accel) {
    case 1:
      return p.accel;
    case 0:
      return 0.0;
    case -1:
      return -p.brake;
    default:
      raiseFail("acceleration state out of range: " + std::to_string(accel));
  }
}

int clampNotch(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

MotionModel makeMotionModel(const VehicleParams& params) {
  MotionModel model;
  model.drag = params.accel / (params.maxSpeed * params.maxSpeed);
  model.params = params;
  return model;
}

MotionState stepMotion(const MotionModel& model, ControlState control, const MotionState& state, double dt) {
  const VehicleParams& p = model.params;
  const double k = model.drag;
  const double v = state.speed;
  const double w = state.rotation;
  const double target = targetRotation(p, control.turn);
  const double a = acceleration(p, control.accel);

  double v2 = (a * dt + v) - dt * (k * v * v);
  if (std::isnan(v2) || v2 < 0.0) v2 = 0.0;

  const double s = p.rotAccel * dt;
  double w2;
  if (s >= std::fabs(target - w)) {
    w2 = target;
  } else if (w > target) {
    w2 = w - s;
  } else {
    w2 = w + s;
  }

  MotionState next;
  next.speed = v2;
  next.rotation = w2;
  const double distance = (dt * 0.5) * (v + v2);
  if (w2 == 0.0) {
    // Not turning: keep heading and direction bit for bit, even a
    // non-unit direction left by a degenerate bounce.
    next.heading = state.heading;
    next.direction = state.direction;
    next.position = state.position + state.direction * distance;
  } else {
    next.heading = normalizeAngle(state.heading + w2 * dt);
    const double r = next.heading * model.pi / 180;
    next.direction = {std::cos(r), std::sin(r)};
    next.position = state.position + ((state.direction + next.direction) * 0.5) * distance;
  }
  return next;
}

ControlState applyCommand(ControlState control, ControlCommand command) {
  return {clampNotch(control.turn + command.turnStep, -2, 2),
          clampNotch(control.accel + command.accelStep, -1, 1)};
}

MotionState startMotionState(double x, double y, double dir, double speed) {
  MotionState state;
  state.speed = speed;
  state.rotation = 0.0;
  state.heading = normalizeAngle(dir);
  state.position = {x, y};
  const double t = kPi * dir / 180;
  state.direction = {std::cos(t), std::sin(t)};
  return state;
}

}  // namespace rover
