#include "autopilot.h"

#include <algorithm>
#include <cmath>

#include "path_search.h"

namespace rover::pilot {

namespace {

// The run ends once the rover's centre is within 5 of the origin; planning
// for a smaller disc keeps the path from ending on the rim.
constexpr double kGoalRadius = 3.0;
// Martians wander off; a sighting older than this says little.
constexpr std::int64_t kMartianMemoryMs = 1500;
// The rotation rate lags the turn command: commands wait for the next input
// poll and the rate ramps towards its target. Steering on the heading
// expected this far ahead keeps the rover from overshooting.
constexpr double kTurnLagSeconds = 0.3;
constexpr double kHardTurnError = 15.0;  // degrees of heading error
constexpr double kSoftTurnError = 2.5;
constexpr double kMinSpeed = 1.5;
constexpr double kAimReach = 30.0;

int sign(double value) {
  return value < 0.0 ? -1 : 1;
}

}  // namespace

Autopilot::Autopilot(const InitMessage& init, Margins margins) : init_(init), margins_(margins) {}

void Autopilot::startRun() {
  memory_.startRun();
  current_.reset();
  rotationEstimate_ = 0.0;
  bounced_ = false;
  path_.clear();
}

void Autopilot::observe(const Telemetry& telemetry) {
  if (bounced_) {
    rotationEstimate_ = 0.0;  // a bounce leaves the rover not turning at all
    bounced_ = false;
  } else if (current_ && telemetry.timeMs > current_->timeMs) {
    double seconds = static_cast<double>(telemetry.timeMs - current_->timeMs) / 1000.0;
    double rate = wrapDegrees(telemetry.heading - current_->heading) / seconds;
    rotationEstimate_ = std::clamp(rate, -init_.hardTurn, init_.hardTurn);
  }
  memory_.observe(telemetry);
  memory_.forgetMartiansBefore(telemetry.timeMs - kMartianMemoryMs);
  current_ = telemetry;
}

Point Autopilot::pickAim(const CostGrid& grid, Point position, double reach) const {
  // Pure pursuit with a line-of-sight check: the farthest path point within
  // reach that a straight drive gets to without crossing costlier ground than
  // its two ends. Past the path's last cell the goal itself is the aim, so the
  // grid's coarseness does not make the rover weave on open ground.
  std::vector<Point> candidates(path_.begin() + 1, path_.end());
  candidates.push_back(Point{0.0, 0.0});
  Point aim = candidates.front();
  double startCost = grid.costAt(position);
  for (const Point& candidate : candidates) {
    double span = distance(position, candidate);
    if (span > reach) break;
    double allowed = std::max({startCost, grid.costAt(candidate), 1.0}) + 0.25;
    int samples = static_cast<int>(std::ceil(span / (grid.cellSize() * 0.5)));
    bool clear = true;
    for (int s = 1; s < samples && clear; ++s)
      clear = grid.costAt(position + (candidate - position) * (static_cast<double>(s) / samples)) <= allowed;
    if (!clear) break;
    aim = candidate;
  }
  return aim;
}

double Autopilot::nearestHazard(const CostGrid& grid, Point position, double reach) const {
  double nearest = reach;
  std::size_t firstColumn = grid.columnOf(position.x - reach), lastColumn = grid.columnOf(position.x + reach);
  std::size_t firstRow = grid.rowOf(position.y - reach), lastRow = grid.rowOf(position.y + reach);
  for (std::size_t row = firstRow; row <= lastRow; ++row)
    for (std::size_t column = firstColumn; column <= lastColumn; ++column)
      if (grid.cost(column, row) >= CostGrid::kBlocked)
        nearest = std::min(nearest, distance(grid.center(column, row), position));
  return nearest;
}

Controls Autopilot::decide() {
  if (!current_) return {};
  const Telemetry& now = *current_;
  Point position{now.x, now.y};

  CostGrid grid(init_.sizeX);
  grid.addTerrain(memory_, margins_);
  // Slowing down helps to thread between rocks, but not to get away from a
  // Martian: measure the room to manoeuvre before the Martians go in.
  double room = nearestHazard(grid, position, 10.0);
  grid.addMartians(memory_, margins_);
  path_ = findPath(grid, position, kGoalRadius);

  // The line-of-sight check keeps the aim honest; the reach only bounds the work.
  aim_ = path_.size() < 2 ? Point{0.0, 0.0} : pickAim(grid, position, kAimReach);

  Controls controls;
  double error = wrapDegrees(bearing(position, aim_) - now.heading);
  double expected = error - rotationEstimate_ * kTurnLagSeconds;
  if (std::fabs(expected) > kHardTurnError)
    controls.turn = 2 * sign(expected);
  else if (std::fabs(expected) > kSoftTurnError)
    controls.turn = sign(expected);

  // Slow for sharp turns (the turning circle grows with speed) and near
  // hazards (a late correction must still fit in the gap).
  double cruise = init_.maxSpeed;
  double turning = cruise * (1.0 - std::min(std::fabs(error), 90.0) / 100.0);
  double clearance = 2.0 + 1.2 * room;
  double target = std::max(kMinSpeed, std::min({cruise, turning, clearance}));
  if (now.speed < target - 0.3)
    controls.accel = 1;
  else if (now.speed > target + 0.5)
    controls.accel = -1;
  return controls;
}

}  // namespace rover::pilot
