#pragma once

#include "sim/geometry.h"

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
// (objectCircle, sim/world.h).
struct WorldObject {
  ObjectKind kind = ObjectKind::Boulder;
  CircleObject circle;
  int id = -1;
};

// The home base: the circle of radius kHomeRadius at the origin.
WorldObject homeObject();

}  // namespace rover
