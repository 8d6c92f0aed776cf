#pragma once

#include <optional>
#include <vector>

#include "sim/motion.h"
#include "sim/random.h"
#include "sim/world.h"

namespace rover {

struct SteerConstants {
  double pi = kPi;
  double invHardTurn = 0.0;
  double invTurn = 0.0;
  double clearanceAngle = 90.0;  // steerAround's angle when inside the clearance circle
  VehicleParams params;
};

SteerConstants makeSteerConstants(const VehicleParams& martianParams);

struct Wish {
  double x = 0.0;  // heading change, degrees
  double a = 0.0;  // -1.0, 0.0 or 1.0
  double w = 0.0;  // weight >= 0
};

struct SteerResult {
  double x = 0.0;
  double a = 0.0;
};

struct Hit {
  double t = 0.0;
  Vec2 center;
  double radius = 0.0;
};

SteerResult steerTo(Vec2 target, const MotionState& state, const SteerConstants& constants);
std::optional<Hit> lookAhead(const std::vector<WorldObject>& objects, const MotionState& state);
SteerResult steerAround(Vec2 center, double radius, const MotionState& state,
                        const SteerConstants& constants);
SteerResult combine(const std::vector<Wish>& wishes);
ControlState toControl(SteerResult steer, const VehicleParams& params);

// The wander decision for one live Martian: draws once from the generator
// and stores the chosen controls into martian.control.
void decideMartian(Martian& martian, const MotionState& rover, const std::vector<WorldObject>& objects,
                   const SteerConstants& constants, Random& random);

}  // namespace rover
