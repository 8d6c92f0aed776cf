#pragma once

#include <vector>

#include "cost_grid.h"
#include "geometry.h"

namespace rover::pilot {

/// The cheapest 8-connected path over the grid from start to any cell whose
/// centre lies within goalRadius of the origin: the start point first, then
/// cell centres. Blocked cells are very expensive rather than forbidden, so a
/// rover that ends up inside a hazard's margin still finds its way out.
std::vector<Point> findPath(const CostGrid& grid, Point start, double goalRadius);

}  // namespace rover::pilot
