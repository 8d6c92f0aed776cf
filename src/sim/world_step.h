#pragma once

#include <optional>

#include "sim/world.h"

namespace rover {

enum class Outcome { KilledByMartian = 0, CrashedIntoCrater = 1, TimeLimitExceeded = 2, ReachedHome = 3 };

// "killed by Martian", "crashed into crater", "time limit exceeded", "reached home".
const char* outcomeText(Outcome outcome);

// At most one step event ('B', 'C', 'K' or 'S') per step; C, K and S decide an outcome.
struct StepResult {
  std::optional<char> event;
  std::optional<Outcome> outcome;
};

// One physics step of the whole world: motion, Martian contacts, rover contacts.
StepResult worldStep(World& world, const WorldRules& rules, double dt);

// The bounced state for a normal n pointing from the obstacle to the mover and a depth d >= 0.
MotionState bounceOff(const MotionState& state, Vec2 normal, double depth);

}  // namespace rover
