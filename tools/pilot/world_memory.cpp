#include "world_memory.h"

#include <algorithm>

namespace rover::pilot {

namespace {

// The server writes the same object with the same digits every time, so an
// exact comparison finds repeats.
void remember(std::vector<Circle>& circles, const SeenObject& object) {
  for (const Circle& known : circles)
    if (known.center.x == object.x && known.center.y == object.y && known.radius == object.radius) return;
  circles.push_back(Circle{{object.x, object.y}, object.radius});
}

}  // namespace

void WorldMemory::observe(const Telemetry& telemetry) {
  // Martians are anonymous on the wire, so a message's sightings replace the
  // earlier ones they are likely to be (the nearest within a short reach).
  std::vector<MartianSighting> fresh;
  for (const SeenObject& object : telemetry.objects) {
    switch (object.kind) {
      case ObjectKind::Boulder:
        remember(boulders_, object);
        break;
      case ObjectKind::Crater:
        remember(craters_, object);
        break;
      case ObjectKind::Martian:
        fresh.push_back(
            MartianSighting{{object.x, object.y}, object.heading, object.speed, telemetry.timeMs});
        break;
      case ObjectKind::Home:
        break;
    }
  }
  for (const MartianSighting& sighting : fresh) {
    auto same = std::find_if(martians_.begin(), martians_.end(), [&](const MartianSighting& old) {
      return old.seenAtMs < telemetry.timeMs && distance(old.position, sighting.position) < 3.0;
    });
    if (same != martians_.end()) martians_.erase(same);
  }
  martians_.insert(martians_.end(), fresh.begin(), fresh.end());
}

void WorldMemory::startRun() {
  martians_.clear();
}

void WorldMemory::forgetMartiansBefore(std::int64_t oldestMs) {
  std::erase_if(martians_, [&](const MartianSighting& sighting) { return sighting.seenAtMs < oldestMs; });
}

}  // namespace rover::pilot
