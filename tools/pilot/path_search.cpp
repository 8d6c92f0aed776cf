#include "path_search.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <queue>

namespace rover::pilot {

std::vector<Point> findPath(const CostGrid& grid, Point start, double goalRadius) {
  const std::size_t n = grid.cellsPerSide();
  const double step = grid.cellSize();
  const double infinity = std::numeric_limits<double>::infinity();
  std::vector<double> best(n * n, infinity);
  std::vector<std::size_t> cameFrom(n * n, n * n);

  // Every step costs at least its length, so the straight distance to the
  // goal disc never overestimates.
  auto estimate = [&](std::size_t cell) {
    Point p = grid.center(cell % n, cell / n);
    return std::max(0.0, length(p) - goalRadius);
  };
  using Entry = std::pair<double, std::size_t>;  // (cost so far + estimate, cell)
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;

  std::size_t first = grid.rowOf(start.y) * n + grid.columnOf(start.x);
  best[first] = 0.0;
  open.push({estimate(first), first});
  std::size_t goal = n * n;
  while (!open.empty()) {
    auto [priority, cell] = open.top();
    open.pop();
    if (priority > best[cell] + estimate(cell) + 1e-9) continue;  // a stale entry
    std::size_t column = cell % n, row = cell / n;
    if (length(grid.center(column, row)) <= goalRadius) {
      goal = cell;
      break;
    }
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (dx == 0 && dy == 0) continue;
        if ((column == 0 && dx < 0) || (row == 0 && dy < 0) || (column + 1 == n && dx > 0) ||
            (row + 1 == n && dy > 0))
          continue;
        std::size_t next = (row + dy) * n + (column + dx);
        double stepLength = (dx != 0 && dy != 0) ? step * std::sqrt(2.0) : step;
        double stepCost = stepLength * 0.5 * (grid.cost(column, row) + grid.cost(column + dx, row + dy));
        double cost = best[cell] + stepCost;
        if (cost < best[next]) {
          best[next] = cost;
          cameFrom[next] = cell;
          open.push({cost + estimate(next), next});
        }
      }
    }
  }

  std::vector<Point> path;
  if (goal == n * n) return path;
  for (std::size_t cell = goal; cell != first; cell = cameFrom[cell])
    path.push_back(grid.center(cell % n, cell / n));
  path.push_back(start);
  std::reverse(path.begin(), path.end());
  return path;
}

}  // namespace rover::pilot
