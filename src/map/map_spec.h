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

// The loaded map. Everything but `world` is fixed after loading; `world`
// holds the cells of the current run and is reset by startRun.
struct MapSpec {
  double halfSize = 0.0;      // "size" * 0.5
  mpz_class timeLimitMillis;  // exact, any size, may be zero or negative
  VehicleParams vehicleParams;
  VehicleParams martianParams;
  std::vector<WorldObject> objects;  // Home, craters, boulders, in file order
  std::vector<RunSpec> runs;         // never empty
  World world;  // after loading: the first run's rover start, no Martians, no rover objects
};

// The fixed rules of every run of this map: motion models, wall bound, and
// the static objects with every search over them.
WorldRules makeWorldRules(const MapSpec& map);

// Resets the run cells for run k (counted from 1), with a rover list that
// names `statics` (the rules' static objects); kind "Subscript" beyond the
// list.
void startRun(MapSpec& map, int k, std::shared_ptr<const StaticObjects> statics);

}  // namespace rover
