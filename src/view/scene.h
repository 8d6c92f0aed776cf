#pragma once

#include <string>
#include <vector>

#include "map/map_spec.h"
#include "sim/sensing.h"
#include "sim/world.h"

namespace rover {

// What the window set-up fixes for every frame: the world bounds, the view
// region's parameters and the movers' triangle sizes.
struct SceneSetup {
  float halfSize = 0.0f;
  ViewEllipse view;  // the rover's, as sensing uses it
  double roverTriangle = 0.0;
  double martianTriangle = 0.0;
  double triangleTail = 0.0;
};

SceneSetup makeSceneSetup(const MapSpec& map);

// The display lists of the current run's static objects (Home, craters,
// boulders, in the map's order). Lists of earlier runs are never deleted.
struct SceneLists {
  std::vector<unsigned int> names;
};

// Compiles one circle list per static object of the run; fails with
// "genList error" when OpenGL has no list name left. Needs a current GL context.
void buildSceneLists(SceneLists& lists, const MapSpec& map);

// Draws one frame: map square, view region, objects, Martians, rover and the
// status column, then swaps the buffers.
void drawScene(const SceneSetup& setup, const SceneLists& lists, const World& world,
               const std::vector<std::string>& statusLines);

}  // namespace rover
