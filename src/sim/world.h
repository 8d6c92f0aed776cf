#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "sim/constants.h"
#include "sim/geometry.h"
#include "sim/motion.h"
#include "sim/rover_objects.h"
#include "sim/world_object.h"

namespace rover {

// Where a Martian was last found clear of every static object, and by how
// much (StaticObjects::martianContact): until it has moved that far from
// there it cannot touch one, and its contact search is skipped. It changes
// no result, only how often the search runs.
struct Clearance {
  Vec2 from;
  double distance = 0.0;

  bool covers(Vec2 p) const {
    const Vec2 d = p - from;
    return d.x * d.x + d.y * d.y < distance * distance;
  }
};

// One live enemy.
struct Martian {
  double view = 0.0;
  int index = 0;  // position in its run's "enemies"; identity within the run
  MotionState motion;
  ControlState control;
  double wanderAngle = 0.0;  // degrees, kept in [-90, 90]
  Clearance clearance;
};

// The per-run cells: everything the simulation changes during a run.
struct World {
  MotionState rover;
  ControlState roverControl;
  std::vector<Martian> martians;  // live Martians in "enemies" order
  RoverObjects roverObjects;      // their entries, then the static objects'
};

class StaticObjects;

// The fixed rules of the run: models, wall bound and the static objects
// (Home, craters in file order, boulders in file order) with every search
// over them (sim/static_objects.h), shared by copies of the rules and by
// the rover lists of the runs.
struct WorldRules {
  MotionModel roverModel;
  MotionModel martianModel;
  double wallBound = 0.0;  // halfSize - kWallInset
  std::shared_ptr<const StaticObjects> statics;
};

// The rules' static objects, which the world's rover list must name: a
// world and rules that do not belong together are an internal failure.
const StaticObjects& staticsOf(const World& world, const WorldRules& rules);

// The live Martian with this index, or nullptr once it is gone.
const Martian* findMartian(const World& world, int index);

// The live Martian a MartianObj entry names. An entry whose Martian is gone
// is an internal failure: a Martian leaves both lists together.
const Martian& martianOf(const World& world, const WorldObject& entry);

// The live Martian of Martian entry i (< world.roverObjects.martianCount()):
// the rover's list holds the Martians in the run's order, so it is
// world.martians[i]; lists out of step are an internal failure.
const Martian& martianAtEntry(const World& world, std::size_t i);

// The circle an object entry stands for now: a static object's own, or a
// Martian's body at its current position.
CircleObject objectCircle(const World& world, const WorldObject& object);

}  // namespace rover
