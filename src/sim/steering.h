#pragma once

#include <initializer_list>
#include <span>

#include "sim/constants.h"
#include "sim/motion.h"
#include "sim/world.h"

namespace rover {

// Built once per run from "martianParams" and shared by all Martians.
struct SteerConstants {
  double pi = kPi;
  double invHardTurn = 0.0;
  double invTurn = 0.0;
  double clearanceAngle = kClearanceAngle;  // steerAround's angle when inside the clearance circle
  VehicleParams params;
};

SteerConstants makeSteerConstants(const VehicleParams& martianParams);

// One weighted wish of a Martian for this decision.
struct Wish {
  double x = 0.0;  // heading change, degrees
  double a = 0.0;  // -1.0, 0.0 or 1.0
  double w = 0.0;  // weight >= 0
};

// A heading change (degrees) and an acceleration wish.
struct SteerResult {
  double x = 0.0;
  double a = 0.0;
};

// Turn toward the target, and how hard to accelerate to arrive.
SteerResult steerTo(Vec2 target, const MotionState& state, const SteerConstants& constants);
// Aim at the tangent of the circle on the side the Martian is already on.
SteerResult steerAround(Vec2 center, double radius, const MotionState& state,
                        const SteerConstants& constants);
// The weighted blend of the wishes; weights summing below one act weakly.
SteerResult combine(std::initializer_list<Wish> wishes);
SteerResult combine(std::span<const Wish> wishes);
// The notches that carry out a blended wish.
ControlState toControl(SteerResult steer, const VehicleParams& params);

}  // namespace rover
