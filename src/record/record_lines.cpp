#include "record/record_lines.h"

namespace rover {

namespace {

const char* kindName(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Home:
      return "home";
    case ObjectKind::Crater:
      return "crater";
    case ObjectKind::Boulder:
      return "boulder";
    case ObjectKind::MartianObj:
      break;
  }
  return "martian";
}

PoseEntry poseEntry(const MotionState& state) {
  return {state.position.x, state.position.y, state.heading};
}

}  // namespace

MapEntry mapEntry(const MapSpec& map) {
  MapEntry entry;
  entry.size = map.halfSize * 2.0;
  entry.timeLimitMillis = map.timeLimitMillis;
  entry.vehicle.p = map.vehicleParams;
  entry.martian.p = map.martianParams;
  for (const WorldObject& object : map.objects) {
    entry.objects.push_back(
        {kindName(object.kind), object.circle.center.x, object.circle.center.y, object.circle.radius});
  }
  for (const RunSpec& run : map.runs) {
    RunEntry& out = entry.runs.emplace_back();
    out.vehicle = poseEntry(run.startState);
    for (const MartianSpec& enemy : run.enemies) {
      out.enemies.push_back({enemy.index, poseEntry(enemy.startState), enemy.startState.speed, enemy.view});
    }
  }
  return entry;
}

}  // namespace rover
