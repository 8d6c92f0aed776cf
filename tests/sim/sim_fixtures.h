#pragma once

#include <memory>
#include <vector>

#include "sim/motion.h"
#include "sim/static_objects.h"
#include "sim/world.h"

namespace rover::testing {

inline VehicleParams roverParams() {
  VehicleParams p;
  p.maxSpeed = 4.0;
  p.accel = 2.0;
  p.brake = 3.0;
  p.turn = 20.0;
  p.hardTurn = 60.0;
  p.rotAccel = 200.0;
  p.frontView = 30.0;
  p.rearView = 10.0;
  return p;
}

inline WorldObject boulder(double x, double y, double r) {
  return {ObjectKind::Boulder, {{x, y}, r}, -1};
}
inline WorldObject crater(double x, double y, double r) {
  return {ObjectKind::Crater, {{x, y}, r}, -1};
}
inline WorldObject home() {
  return homeObject();
}
inline WorldObject martianObject(int index) {
  return {ObjectKind::MartianObj, {}, index};
}

// A mover at (x, y) with heading `heading` (its exact cos/sin direction) and speed.
inline MotionState moverAt(double x, double y, double heading = 0.0, double speed = 0.0) {
  return startMotionState(x, y, heading, speed);
}

inline Martian martianAt(int index, double x, double y, double heading = 0.0, double speed = 0.0) {
  Martian m;
  m.index = index;
  m.motion = moverAt(x, y, heading, speed);
  return m;
}

inline std::shared_ptr<const StaticObjects> staticsOf(std::vector<WorldObject> objects) {
  return std::make_shared<const StaticObjects>(std::move(objects));
}

// Rules with a 20 x 20 field (wall bound 9.5 unless given) and the static objects.
inline WorldRules rulesWith(std::vector<WorldObject> objects, double wallBound = 9.5) {
  WorldRules rules;
  rules.roverModel = makeMotionModel(roverParams());
  rules.martianModel = makeMotionModel(roverParams());
  rules.wallBound = wallBound;
  rules.statics = staticsOf(std::move(objects));
  return rules;
}

// The rover's list as a run starts it, Martians first, then the rules'
// static objects, with every flag as given.
inline RoverObjects roverListFor(const std::vector<Martian>& martians, const WorldRules& rules,
                                 bool visible) {
  RoverObjects list(martians, rules.statics);
  for (std::size_t i = 0; i < list.size(); ++i) list.setVisible(i, visible);
  return list;
}

}  // namespace rover::testing
