#pragma once

#include <cstddef>
#include <vector>

#include "geometry.h"
#include "world_memory.h"

namespace rover::pilot {

// How far the planner keeps from things. Contact with a boulder starts at
// about r + 0.5 from its centre, a crater swallows the rover once its centre
// is inside r, and a Martian's touch reaches about 0.64.
struct Margins {
  double boulderHard = 0.8;  // beyond contact distance: never plan through
  double boulderSoft = 2.5;  // beyond contact distance: prefer to stay out
  double craterHard = 1.0;   // beyond the rim
  double craterSoft = 3.0;
  double martianHard = 3.0;  // around the Martian's centre
  double martianSoft = 7.0;
  double wallHard = 0.6;  // inside the wall bound
  double wallSoft = 2.5;
};

// The terrain as a square grid of travel costs: 1 per unit of length on free
// ground, more near hazards, and a prohibitive cost inside them.
class CostGrid {
 public:
  static constexpr double kBlocked = 1000.0;

  /// A grid over the square map of the given full side, at most maxCells cells per side.
  CostGrid(double mapSize, std::size_t maxCells = 240);

  /// Adds the cost of the walls and of every remembered boulder and crater.
  void addTerrain(const WorldMemory& memory, const Margins& margins);
  /// Adds the cost around every recent Martian sighting, where it is and where it may be soon.
  void addMartians(const WorldMemory& memory, const Margins& margins);
  /// Adds a circular hazard: blocked inside hardRadius, a falling extra cost out to softRadius.
  void addCircle(Point center, double hardRadius, double softRadius);

  std::size_t cellsPerSide() const { return cells_; }
  double cellSize() const { return cellSize_; }
  /// Cost factor of the cell holding a point (blocked outside the map).
  double costAt(Point p) const;
  double cost(std::size_t column, std::size_t row) const { return cost_[row * cells_ + column]; }
  /// Centre of a cell.
  Point center(std::size_t column, std::size_t row) const;
  /// The cell holding a point, clamped into the grid.
  std::size_t columnOf(double x) const;
  std::size_t rowOf(double y) const;

 private:
  void addWalls(const Margins& margins);
  double half_;
  std::size_t cells_;
  double cellSize_;
  std::vector<double> cost_;
};

}  // namespace rover::pilot
