#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"
#include "messages.h"

namespace rover::pilot {

struct Circle {
  Point center;
  double radius = 0.0;
};

// A Martian as last seen, with the run time of the sighting.
struct MartianSighting {
  Point position;
  double heading = 0.0;
  double speed = 0.0;
  std::int64_t seenAtMs = 0;
};

// Everything the rover has seen. Boulders and craters never move and are the
// same in every run of a map, so they are kept for the whole game; Martians
// move, so only recent sightings count and they are forgotten between runs.
class WorldMemory {
 public:
  /// Records the objects of one telemetry message.
  void observe(const Telemetry& telemetry);
  /// Forgets the Martians (a new run starts with its own).
  void startRun();
  /// Drops the Martian sightings made before run time oldestMs.
  void forgetMartiansBefore(std::int64_t oldestMs);

  const std::vector<Circle>& boulders() const { return boulders_; }
  const std::vector<Circle>& craters() const { return craters_; }
  const std::vector<MartianSighting>& martians() const { return martians_; }

 private:
  std::vector<Circle> boulders_;
  std::vector<Circle> craters_;
  std::vector<MartianSighting> martians_;
};

}  // namespace rover::pilot
