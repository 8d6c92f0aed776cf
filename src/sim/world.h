#pragma once

#include <cstddef>
#include <vector>

#include "sim/geometry.h"
#include "sim/motion.h"

namespace rover {

struct CircleObject {
  Vec2 center;
  double radius = 0.0;
};

enum class ObjectKind { Boulder, Crater, Home, MartianObj };

inline constexpr double kHomeRadius = 5.0;
inline constexpr double kRoverRadius = 0.5;
inline constexpr double kMartianRadius = 0.4;

// An entry of an object list. Home is the circle of radius 5 at the origin;
// a MartianObj names its Martian by index and takes its circle from the
// Martian's current position.
struct WorldObject {
  ObjectKind kind = ObjectKind::Boulder;
  CircleObject circle;
  int martianIndex = -1;
};

// An entry of the rover's object list with the visible flag that the latest
// sensing pass wrote.
struct RoverObject {
  WorldObject object;
  bool visible = false;
};

// One live enemy.
struct Martian {
  double view = 0.0;
  int index = 0;  // position in its run's "enemies"; identity within the run
  MotionState motion;
  ControlState control;
  double wanderAngle = 0.0;  // degrees, kept in [-90, 90]
};

// The per-run cells: everything the simulation changes during a run.
struct World {
  MotionState rover;
  ControlState roverControl;
  std::vector<Martian> martians;          // live Martians in "enemies" order
  std::vector<RoverObject> roverObjects;  // Martians, then Home, craters, boulders
};

// The fixed rules of the run: models, wall bound and the static object list
// (Home, craters in file order, boulders in file order).
struct WorldRules {
  MotionModel roverModel;
  MotionModel martianModel;
  double wallBound = 0.0;  // halfSize - 0.5
  std::vector<WorldObject> objects;
};

// The live Martian with this index, or nullptr once it is gone.
const Martian* findMartian(const World& world, int index);

}  // namespace rover
