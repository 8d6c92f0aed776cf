#include "record/map_json.h"

#include "record/json_text.h"

namespace rover {

namespace {

void appendParams(std::string& out, const VehicleParams& p) {
  const std::pair<const char*, double> fields[] = {
      {"max_speed", p.maxSpeed},   {"accel", p.accel},
      {"brake", p.brake},          {"turn", p.turn},
      {"hard_turn", p.hardTurn},   {"rot_accel", p.rotAccel},
      {"front_view", p.frontView}, {"rear_view", p.rearView},
  };
  out += '{';
  bool first = true;
  for (const auto& [name, value] : fields) {
    if (!first) out += ',';
    first = false;
    out += '"';
    out += name;
    out += "\":";
    appendJsonReal(out, value);
  }
  out += '}';
}

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

void appendPose(std::string& out, const MotionState& state) {
  out += "\"x\":";
  appendJsonReal(out, state.position.x);
  out += ",\"y\":";
  appendJsonReal(out, state.position.y);
  out += ",\"heading\":";
  appendJsonReal(out, state.heading);
}

}  // namespace

std::string mapAsJson(const MapSpec& map) {
  std::string out = "{\"size\":";
  appendJsonReal(out, map.halfSize * 2.0);
  out += ",\"time_limit_ms\":";
  appendJsonInteger(out, map.timeLimitMillis);
  out += ",\"vehicle_params\":";
  appendParams(out, map.vehicleParams);
  out += ",\"martian_params\":";
  appendParams(out, map.martianParams);
  out += ",\"objects\":[";
  for (std::size_t i = 0; i < map.objects.size(); ++i) {
    const WorldObject& object = map.objects[i];
    if (i > 0) out += ',';
    out += "{\"kind\":\"";
    out += kindName(object.kind);
    out += "\",\"x\":";
    appendJsonReal(out, object.circle.center.x);
    out += ",\"y\":";
    appendJsonReal(out, object.circle.center.y);
    out += ",\"r\":";
    appendJsonReal(out, object.circle.radius);
    out += '}';
  }
  out += "],\"runs\":[";
  for (std::size_t r = 0; r < map.runs.size(); ++r) {
    const RunSpec& run = map.runs[r];
    if (r > 0) out += ',';
    out += "{\"vehicle\":{";
    appendPose(out, run.startState);
    out += "},\"enemies\":[";
    for (std::size_t e = 0; e < run.enemies.size(); ++e) {
      const MartianSpec& enemy = run.enemies[e];
      if (e > 0) out += ',';
      out += "{\"index\":" + std::to_string(enemy.index) + ',';
      appendPose(out, enemy.startState);
      out += ",\"speed\":";
      appendJsonReal(out, enemy.startState.speed);
      out += ",\"view\":";
      appendJsonReal(out, enemy.view);
      out += '}';
    }
    out += "]}";
  }
  out += "]}";
  return out;
}

}  // namespace rover
