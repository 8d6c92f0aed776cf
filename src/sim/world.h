#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "sim/constants.h"
#include "sim/geometry.h"
#include "sim/motion.h"

namespace rover {

struct CircleObject {
  Vec2 center;
  double radius = 0.0;
};

enum class ObjectKind { Boulder, Crater, Home, MartianObj };

// An entry of an object list. A Boulder, Crater or Home holds its circle
// (Home's is made by homeObject) and its id is its place in the map's static
// list (Home 0, then craters, then boulders). A MartianObj's id is its
// Martian's index; it holds no circle and is sensed where the Martian is now
// (objectCircle).
struct WorldObject {
  ObjectKind kind = ObjectKind::Boulder;
  CircleObject circle;
  int id = -1;
};

// The home base: the circle of radius kHomeRadius at the origin.
WorldObject homeObject();

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

class ObjectGrid;

// The fixed rules of the run: models, wall bound and the static object list
// (Home, craters in file order, boulders in file order).
struct WorldRules {
  MotionModel roverModel;
  MotionModel martianModel;
  double wallBound = 0.0;  // halfSize - kWallInset
  std::vector<WorldObject> objects;
  // The spatial index over `objects` (sim/object_grid.h), built with them by
  // makeWorldRules and shared by copies; whoever changes `objects` builds a
  // new one. Without one, every search walks the whole list.
  std::shared_ptr<const ObjectGrid> grid;
};

// The live Martian with this index, or nullptr once it is gone.
const Martian* findMartian(const World& world, int index);

// The live Martian a MartianObj entry names. An entry whose Martian is gone
// is an internal failure: a Martian leaves both lists together.
const Martian& martianOf(const World& world, const WorldObject& entry);

// The circle an object entry stands for now: a static object's own, or a
// Martian's body at its current position.
CircleObject objectCircle(const World& world, const WorldObject& object);

}  // namespace rover
