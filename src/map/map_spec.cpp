#include "map/map_spec.h"

#include "base/failure.h"

namespace rover {

World startRun(const MapSpec& map, int k, std::shared_ptr<const StaticObjects> statics) {
  if (k < 1 || static_cast<std::size_t>(k) > map.runs.size()) raiseKind(FailureKind::Subscript);
  const RunSpec& run = map.runs[static_cast<std::size_t>(k - 1)];
  World fresh;
  fresh.rover = run.startState;
  fresh.roverControl = ControlState{};
  for (const MartianSpec& enemy : run.enemies) {
    Martian martian;
    martian.view = enemy.view;
    martian.index = enemy.index;
    martian.motion = enemy.startState;
    martian.control = ControlState{};
    martian.wanderAngle = 0.0;
    fresh.martians.push_back(martian);
  }
  // Martians come first so that a Martian contact is found before a contact
  // with a static object in the same step.
  fresh.roverObjects = RoverObjects(fresh.martians, std::move(statics));
  return fresh;
}

World worldBeforeRuns(const MapSpec& map) {
  World world;
  if (!map.runs.empty()) world.rover = map.runs.front().startState;
  return world;
}

WorldRules makeWorldRules(const MapSpec& map) {
  WorldRules rules;
  rules.roverModel = makeMotionModel(map.vehicleParams);
  rules.martianModel = makeMotionModel(map.martianParams);
  rules.wallBound = map.halfSize - kWallInset;
  rules.statics = std::make_shared<const StaticObjects>(map.objects, map.halfSize);
  return rules;
}

}  // namespace rover
