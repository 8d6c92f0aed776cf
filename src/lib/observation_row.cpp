#include "lib/observation_row.h"

#include <algorithm>
#include <string_view>

#include "lib/rover.h"

namespace rover {
namespace {

// 1 boulder, 2 crater, 3 home, 4 Martian.
double kindCode(char kind) {
  const std::size_t at = std::string_view("bchm").find(kind);
  return at == std::string_view::npos ? 0.0 : static_cast<double>(at + 1);
}

}  // namespace

void writeObservation(const TelemetryFields& telemetry, double* out, std::size_t maxObjects) {
  out[0] = static_cast<double>(telemetry.timeMillis);
  out[1] = telemetry.accel;
  out[2] = telemetry.turn;
  out[3] = telemetry.x;
  out[4] = telemetry.y;
  out[5] = telemetry.heading;
  out[6] = telemetry.speed;
  out[7] = static_cast<double>(telemetry.objectCount);
  double* slot = out + ROVER_OBS_FIXED;
  const std::size_t shown = std::min(maxObjects, telemetry.objects.size());
  for (std::size_t i = 0; i < shown; ++i, slot += ROVER_OBS_OBJECT) {
    const SeenEntry& entry = telemetry.objects[i];
    slot[0] = kindCode(entry.kind);
    slot[1] = entry.x;
    slot[2] = entry.y;
    slot[3] = entry.radius;
    slot[4] = entry.heading;
    slot[5] = entry.speed;
  }
  std::fill(slot, out + ROVER_OBS_SIZE(maxObjects), 0.0);
}

}  // namespace rover
