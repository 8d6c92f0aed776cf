#pragma once

#include "sim/geometry.h"

namespace rover {

// One class of movers' parameters, copied unchanged from the map.
struct VehicleParams {
  double maxSpeed = 0.0;
  double accel = 0.0;
  double brake = 0.0;
  double turn = 0.0;
  double hardTurn = 0.0;
  double rotAccel = 0.0;
  double frontView = 0.0;
  double rearView = 0.0;
};

// A mover's kinematic state; replaced as a whole by every step.
struct MotionState {
  double speed = 0.0;     // never negative
  double rotation = 0.0;  // degrees per second, positive turns left
  double heading = 0.0;   // degrees in [-180, 180]
  Vec2 position;
  Vec2 direction;  // (cos h, sin h), except after a degenerate bounce
};

// Turn state -2 (hard right) .. 2 (hard left) and acceleration state -1
// (brake) .. 1 (accelerate).
struct ControlState {
  int turn = 0;
  int accel = 0;
};

// One steering command as the notches it moves: each of -1, 0 or +1.
struct ControlCommand {
  int accelStep = 0;
  int turnStep = 0;
};

struct MotionModel {
  double pi = kPi;
  double drag = 0.0;  // accel / (maxSpeed * maxSpeed)
  VehicleParams params;
};

MotionModel makeMotionModel(const VehicleParams& params);

// Advances one mover by dt seconds under its controls. Pure.
MotionState stepMotion(const MotionModel& model, ControlState control, const MotionState& state, double dt);

// Moves each state by the command's step, saturating silently at the ends
// of its range.
ControlState applyCommand(ControlState control, ControlCommand command);

// The start state of a mover from its map entry: heading normalised, direction
// from the heading as read (before normalisation).
MotionState startMotionState(double x, double y, double dir, double speed);

}  // namespace rover
