#pragma once

#include <optional>
#include <vector>

#include "cost_grid.h"
#include "geometry.h"
#include "messages.h"
#include "world_memory.h"

namespace rover::pilot {

// Steers the rover home: remembers what it has seen, plans a path around it
// on a cost grid, and turns each telemetry message into the controls wanted.
class Autopilot {
 public:
  explicit Autopilot(const InitMessage& init, Margins margins = {});

  /// Forgets the previous run's Martians and motion; the terrain stays remembered.
  void startRun();
  /// Takes in one telemetry message (every message should be observed, in order).
  void observe(const Telemetry& telemetry);
  /// Notes a bounce: it stops the rover's turning and throws its heading about.
  void noteBounce() { bounced_ = true; }
  /// The controls wanted now, for the telemetry observed last.
  Controls decide();

  const WorldMemory& memory() const { return memory_; }
  /// The path of the last decision (rover position first), for tests and display.
  const std::vector<Point>& path() const { return path_; }
  /// The point the last decision steered for.
  Point aim() const { return aim_; }

 private:
  Point pickAim(const CostGrid& grid, Point position, double reach) const;
  double nearestHazard(const CostGrid& grid, Point position, double reach) const;

  InitMessage init_;
  Margins margins_;
  WorldMemory memory_;
  std::optional<Telemetry> current_;
  double rotationEstimate_ = 0.0;  // degrees per second, from the last two headings
  bool bounced_ = false;
  std::vector<Point> path_;
  Point aim_;
};

}  // namespace rover::pilot
