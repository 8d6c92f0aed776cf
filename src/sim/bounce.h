#pragma once

#include <optional>

#include "sim/world_step.h"

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

// Pushes a mover out of a circle centred at `center` that it touches at less
// than `contactDistance`, reflecting its velocity.
MotionState bounceOffCircle(const MotionState& state, Vec2 center, double contactDistance);

}  // namespace rover
