#include "cost_grid.h"

#include <algorithm>
#include <cmath>

namespace rover::pilot {

namespace {

// The extra cost at the inner edge of a soft zone; large enough that a
// detour of a few units is preferred to grazing a hazard.
constexpr double kSoftPeak = 8.0;

// Cost of a point at distance d outside a hazard's hard edge, with the soft
// zone reaching `soft` beyond the centre.
double hazardCost(double d, double hard, double soft) {
  if (d < hard) return CostGrid::kBlocked;
  if (d >= soft || soft <= hard) return 1.0;
  double closeness = (soft - d) / (soft - hard);
  return 1.0 + kSoftPeak * closeness * closeness;
}

}  // namespace

CostGrid::CostGrid(double mapSize, std::size_t maxCells)
    : half_(mapSize * 0.5),
      cells_(std::max<std::size_t>(
          8, std::min<std::size_t>(maxCells, static_cast<std::size_t>(std::ceil(mapSize / 0.5))))),
      cellSize_(mapSize / static_cast<double>(cells_)),
      cost_(cells_ * cells_, 1.0) {}

Point CostGrid::center(std::size_t column, std::size_t row) const {
  return {-half_ + (static_cast<double>(column) + 0.5) * cellSize_,
          -half_ + (static_cast<double>(row) + 0.5) * cellSize_};
}

std::size_t CostGrid::columnOf(double x) const {
  double index = std::floor((x + half_) / cellSize_);
  if (!(index > 0.0)) return 0;
  return std::min(cells_ - 1, static_cast<std::size_t>(index));
}

std::size_t CostGrid::rowOf(double y) const {
  return columnOf(y);
}

double CostGrid::costAt(Point p) const {
  if (!(std::fabs(p.x) < half_ && std::fabs(p.y) < half_)) return kBlocked;
  return cost(columnOf(p.x), rowOf(p.y));
}

void CostGrid::addCircle(Point center, double hardRadius, double softRadius) {
  double reach = std::max(hardRadius, softRadius);
  std::size_t firstColumn = columnOf(center.x - reach), lastColumn = columnOf(center.x + reach);
  std::size_t firstRow = rowOf(center.y - reach), lastRow = rowOf(center.y + reach);
  for (std::size_t row = firstRow; row <= lastRow; ++row) {
    for (std::size_t column = firstColumn; column <= lastColumn; ++column) {
      double d = distance(this->center(column, row), center);
      double& cell = cost_[row * cells_ + column];
      cell = std::max(cell, hazardCost(d, hardRadius, softRadius));
    }
  }
}

void CostGrid::addWalls(const Margins& margins) {
  double bound = half_ - 0.5;  // the rover's centre is kept inside this
  for (std::size_t row = 0; row < cells_; ++row) {
    for (std::size_t column = 0; column < cells_; ++column) {
      Point p = center(column, row);
      double gap = bound - std::max(std::fabs(p.x), std::fabs(p.y));
      double& cell = cost_[row * cells_ + column];
      cell = std::max(cell, hazardCost(gap, margins.wallHard, margins.wallSoft));
    }
  }
}

void CostGrid::addTerrain(const WorldMemory& memory, const Margins& margins) {
  addWalls(margins);
  for (const Circle& boulder : memory.boulders()) {
    double contact = boulder.radius + 0.5;
    addCircle(boulder.center, contact + margins.boulderHard, contact + margins.boulderSoft);
  }
  for (const Circle& crater : memory.craters())
    addCircle(crater.center, crater.radius + margins.craterHard, crater.radius + margins.craterSoft);
}

void CostGrid::addMartians(const WorldMemory& memory, const Margins& margins) {
  for (const MartianSighting& martian : memory.martians()) {
    double rad = martian.heading * kPi / 180.0;
    Point ahead = martian.position + Point{std::cos(rad), std::sin(rad)} * martian.speed;
    addCircle(martian.position, margins.martianHard, margins.martianSoft);
    addCircle(ahead, margins.martianHard, margins.martianSoft);
  }
}

}  // namespace rover::pilot
