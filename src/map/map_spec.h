#pragma once

#include <gmpxx.h>

#include <memory>
#include <vector>

#include "sim/motion.h"
#include "sim/static_objects.h"
#include "sim/world.h"

namespace rover {

struct MartianSpec {
  double view = 0.0;
  int index = 0;  // 0-based position in its run's "enemies"
  MotionState startState;
};

struct RunSpec {
  MotionState startState;  // the rover's start, speed 0
  std::vector<MartianSpec> enemies;
};

// The loaded map: its records, fixed once loaded. Each game keeps its
// run's cells in a World of its own (startRun).
struct MapSpec {
  double halfSize = 0.0;      // "size" * 0.5
  mpz_class timeLimitMillis;  // exact, any size, may be zero or negative
  VehicleParams vehicleParams;
  VehicleParams martianParams;
  std::vector<WorldObject> objects;  // Home, craters, boulders, in file order
  std::vector<RunSpec> runs;         // never empty
};

// The fixed rules of every run of this map: motion models, wall bound, and
// the static objects with every search over them.
WorldRules makeWorldRules(const MapSpec& map);

// The cells of run k (counted from 1) as it starts, with a rover list that
// names `statics` (the rules' static objects); kind "Subscript" beyond the
// list.
World startRun(const MapSpec& map, int k, std::shared_ptr<const StaticObjects> statics);

// The cells before the first run starts (what the window shows): the
// first run's rover start, no Martians, no rover objects.
World worldBeforeRuns(const MapSpec& map);

}  // namespace rover
