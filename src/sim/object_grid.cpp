#include "sim/object_grid.h"

#include <algorithm>

namespace rover {

namespace {

// The value of rank `rank` (0-based) among `values`, which it reorders.
double ranked(std::vector<double>& values, std::size_t rank) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
  return values[rank];
}

struct Extent {
  double low;
  double high;
};

// The range that the cells cover on one axis: all but the outermost 1% of
// the centres on each side, and within the terrain when that leaves any.
// Objects outside it land in the edge cells instead of stretching them all.
Extent cellExtent(std::vector<double> centres, double halfSize) {
  const std::size_t trim = centres.size() / 100;
  Extent e = {ranked(centres, trim), ranked(centres, centres.size() - 1 - trim)};
  if (halfSize > 0 && std::isfinite(halfSize)) {
    const Extent onTerrain = {std::fmax(e.low, -halfSize), std::fmin(e.high, halfSize)};
    if (onTerrain.low <= onTerrain.high) e = onTerrain;
  }
  return e;
}

// The cell size with the least expected work for a search of reach about 1:
// the objects too large for a cell (walked by every search), the objects in
// the cells the search covers, and one span of cells per row. `radii` are
// the sorted |radius| of the finite objects. Infinite when the centres
// give no scale: then one cell holds every finite object.
double chooseCellSize(Extent x, Extent y, const std::vector<double>& radii) {
  const double infinity = std::numeric_limits<double>::infinity();
  const double count = static_cast<double>(radii.size());
  const double width = x.high - x.low;
  const double height = y.high - y.low;
  const double base = std::fmax(width, height) / std::sqrt(count);
  if (!(base > 0 && std::isfinite(base) && std::isfinite(width) && std::isfinite(height))) return infinity;
  const double maxCells = std::fmin(4.0 * count + 16.0, 67108864.0);  // and an int's worth per axis
  double best = infinity;
  double bestCost = infinity;
  for (int k = -6; k <= 40; ++k) {
    const double size = base * std::exp2(k / 2.0);
    if ((std::floor(width / size) + 1) * (std::floor(height / size) + 1) > maxCells) continue;
    const auto fitting = std::upper_bound(radii.begin(), radii.end(), size) - radii.begin();
    const double inCells = static_cast<double>(fitting);
    const double largest = fitting > 0 ? radii[static_cast<std::size_t>(fitting - 1)] : 0.0;
    const double span = 2 * (1.0 + largest) + size;
    const double share =
        std::fmin(1.0, span / std::fmax(width, size)) * std::fmin(1.0, span / std::fmax(height, size));
    const double cost = (count - inCells) + inCells * share + 0.5 * (span / size);
    if (cost < bestCost) {
      best = size;
      bestCost = cost;
    }
  }
  return best;
}

}  // namespace

ObjectGrid::ObjectGrid(const std::vector<WorldObject>& objects, double halfSize) : count_(objects.size()) {
  std::vector<std::uint32_t> finite;
  std::vector<double> xs, ys, radii;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const CircleObject& c = objects[i].circle;
    if (std::isfinite(c.center.x) && std::isfinite(c.center.y) && std::isfinite(c.radius)) {
      finite.push_back(static_cast<std::uint32_t>(i));
      xs.push_back(c.center.x);
      ys.push_back(c.center.y);
      radii.push_back(std::fabs(c.radius));
    }
  }

  double cell = std::numeric_limits<double>::infinity();
  if (!finite.empty()) {
    const Extent x = cellExtent(std::move(xs), halfSize);
    const Extent y = cellExtent(std::move(ys), halfSize);
    std::sort(radii.begin(), radii.end());
    cell = chooseCellSize(x, y, radii);
    if (std::isfinite(cell)) {
      const double columns = std::floor((x.high - x.low) / cell) + 1;
      const double rows = std::floor((y.high - y.low) / cell) + 1;
      // Far more than the rounding of a cell's bounds against lowCell.
      x_ = {x.low, 1 / cell, static_cast<int>(columns), 1e-12 * (std::fabs(x.low) + (columns + 1) * cell)};
      y_ = {y.low, 1 / cell, static_cast<int>(rows), 1e-12 * (std::fabs(y.low) + (rows + 1) * cell)};
    }
  }
  cellSize_ = cell;

  // A counting sort by cell keeps each cell's objects in list order.
  const std::size_t cells = static_cast<std::size_t>(x_.cells) * static_cast<std::size_t>(y_.cells);
  std::vector<std::uint32_t> cellOf(objects.size(), 0);
  std::vector<bool> inCell(objects.size(), false);
  cellStart_.assign(cells + 1, 0);
  for (const std::uint32_t i : finite) {
    const CircleObject& c = objects[i].circle;
    if (!(std::fabs(c.radius) <= cell)) continue;
    inCell[i] = true;
    cellOf[i] = static_cast<std::uint32_t>(static_cast<std::size_t>(y_.lowCell(c.center.y)) *
                                               static_cast<std::size_t>(x_.cells) +
                                           static_cast<std::size_t>(x_.lowCell(c.center.x)));
    ++cellStart_[cellOf[i] + 1];
    maxRadius_ = std::fmax(maxRadius_, std::fabs(c.radius));
  }
  for (std::size_t k = 0; k < cells; ++k) cellStart_[k + 1] += cellStart_[k];
  slots_.resize(cellStart_[cells]);
  std::vector<std::uint32_t> next(cellStart_.begin(), cellStart_.end() - 1);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const WorldObject& object = objects[i];
    const Slot slot{object.circle.center, object.circle.radius, object.kind, static_cast<std::uint32_t>(i)};
    if (inCell[i]) {
      slots_[next[cellOf[i]]++] = slot;
    } else {
      always_.push_back(slot);
    }
  }
}

}  // namespace rover
