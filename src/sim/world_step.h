#pragma once

#include <optional>
#include <vector>

#include "sim/world.h"

namespace rover {

enum class Outcome { KilledByMartian = 0, CrashedIntoCrater = 1, TimeLimitExceeded = 2, ReachedHome = 3 };

// "killed by Martian", "crashed into crater", "time limit exceeded", "reached home".
const char* outcomeText(Outcome outcome);

// What the rover met in a step that raised an event: a wall, or an entry
// of its object list, named by kind and id.
struct RoverContact {
  bool wall = false;
  ObjectKind kind = ObjectKind::Boulder;
  int id = -1;
};

// A Martian that fell into a crater during the step, where it was lost.
struct LostMartian {
  int index = 0;
  int craterId = 0;
  Vec2 position;
};

// At most one step event ('B', 'C', 'K' or 'S') per step; C, K and S decide
// an outcome. The contact and the lost Martians are for records and viewers.
struct StepResult {
  std::optional<char> event;
  std::optional<Outcome> outcome;
  std::optional<RoverContact> contact;  // set whenever event is
  std::vector<LostMartian> lost;
};

// One physics step of the whole world: motion, Martian contacts, rover
// contacts. world.roverObjects must name the rules' static objects.
StepResult worldStep(World& world, const WorldRules& rules, double dt);

}  // namespace rover
