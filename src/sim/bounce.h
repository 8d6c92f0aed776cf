#pragma once

#include <optional>

#include "sim/geometry.h"
#include "sim/motion.h"

namespace rover {

// A wall the mover has crossed: the normal pointing back into the field and
// how far beyond the bound the mover's centre lies.
struct WallContact {
  Vec2 normal;
  double depth = 0.0;
};

// The first crossed wall in the order -x, +x, -y, +y, or none while the
// centre lies within [-bound, bound] on both axes (the bound itself included).
std::optional<WallContact> findWallContact(Vec2 position, double bound);

// The bounced state for a normal n pointing from the obstacle to the mover
// (of unit length except in the degenerate circle case) and a depth d >= 0:
// the normal part of the velocity reverses at half speed, the turn rate
// resets, and the mover is set kPushOutMargin clear of the obstacle.
MotionState bounceOff(const MotionState& state, Vec2 normal, double depth);

// Pushes a mover out of a circle centred at `center` that it touches at less
// than `contactDistance`, reflecting its velocity.
MotionState bounceOffCircle(const MotionState& state, Vec2 center, double contactDistance);

}  // namespace rover
