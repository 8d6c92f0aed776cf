#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "sim/world.h"

namespace rover {

// A uniform grid over a map's static objects (Home, craters, boulders),
// built once per map by their owner (sim/static_objects.h): they never
// move. It only narrows a search. The owner still applies the list walk's
// exact test to every object it hands over and chooses among the hits by
// list index, so every answer stays bit for bit the walk's.
//
// Each object sits in the one cell of its centre, and the cells along the
// edges reach to infinity, so objects and movers far off the terrain still
// fall in a cell. An object whose radius is larger than a cell, or whose
// numbers are not all finite, is on a list that every search walks. The
// cell size weighs that list against the objects per cell.
class ObjectGrid {
 public:
  // One object as the grid keeps it: its circle, kind and place in the list.
  struct Slot {
    Vec2 center;
    double radius = 0.0;
    ObjectKind kind = ObjectKind::Boulder;
    std::uint32_t index = 0;
  };

  // halfSize, the terrain's, only shapes the cells: objects anywhere are
  // found, but the cells are laid out for those on the terrain. The objects
  // are static ones, fewer than 2^32.
  explicit ObjectGrid(const std::vector<WorldObject>& objects,
                      double halfSize = std::numeric_limits<double>::infinity());

  // Calls visit(slot) for every object whose circle may come within `reach`
  // of the box [lo, hi], and for each object on the always-walked list; each
  // object at most once, in no particular order. Stops as soon as visit
  // returns true, and returns whether it did.
  template <class Visit>
  bool visitNearBox(Vec2 lo, Vec2 hi, double reach, Visit&& visit) const;

  // The same for the segment from a to b: walks only the cells along it.
  template <class Visit>
  bool visitNearSegment(Vec2 a, Vec2 b, double reach, Visit&& visit) const;

  std::size_t objectCount() const { return count_; }

  std::size_t cellCount() const { return cellStart_.size() - 1; }
  std::size_t alwaysWalkedCount() const { return always_.size(); }

 private:
  // One axis of the grid: cell k holds the values v with
  // floor((v - origin) * inverse) == k, clamped to [0, cells - 1].
  struct Axis {
    double origin = 0.0;
    double inverse = 1.0;
    int cells = 1;
    double boundSlack = 0.0;  // rounding allowance of a cell's bounds

    // The lowest and highest cell that may hold a value >= v, <= v; an
    // unordered v bounds nothing.
    int lowCell(double v) const {
      const double t = (v - origin) * inverse;
      if (!(t >= 0)) return 0;
      if (t >= cells) return cells - 1;
      return static_cast<int>(t);
    }
    int highCell(double v) const {
      const double t = (v - origin) * inverse;
      if (!(t < cells)) return cells - 1;
      if (t < 0) return 0;
      return static_cast<int>(t);
    }
  };

  // The distance around a search's box within which a candidate's centre
  // must lie: reach, the largest radius in a cell, and slack for rounding
  // (the exact tests round relative to the sizes involved, sight lines and
  // look-ahead rays by up to about 1e-7 of their length).
  double padFor(Vec2 lo, Vec2 hi, double reach) const {
    const double size =
        larger(larger(std::fabs(lo.x), std::fabs(lo.y)), larger(std::fabs(hi.x), std::fabs(hi.y)));
    return reach + maxRadius_ + 1e-5 * (1.0 + std::fabs(reach) + maxRadius_ + size);
  }

  // Plain comparisons: std::fmin and fmax are calls, and all values here are ordered.
  static double smaller(double a, double b) { return b < a ? b : a; }
  static double larger(double a, double b) { return a < b ? b : a; }

  static bool finite(Vec2 a, Vec2 b, double reach) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y) &&
           std::isfinite(reach);
  }

  template <class Visit>
  bool visitCells(int row, int firstColumn, int lastColumn, Visit& visit) const {
    const std::size_t base = static_cast<std::size_t>(row) * static_cast<std::size_t>(x_.cells);
    const std::uint32_t end = cellStart_[base + static_cast<std::size_t>(lastColumn) + 1];
    for (std::uint32_t s = cellStart_[base + static_cast<std::size_t>(firstColumn)]; s < end; ++s) {
      if (visit(slots_[s])) return true;
    }
    return false;
  }

  // The cells of columns [firstColumn, lastColumn] in rows [firstRow, lastRow].
  template <class Visit>
  bool visitRows(int firstColumn, int lastColumn, int firstRow, int lastRow, Visit& visit) const {
    for (int row = firstRow; row <= lastRow; ++row) {
      if (visitCells(row, firstColumn, lastColumn, visit)) return true;
    }
    return false;
  }

  template <class Visit>
  bool visitAlways(Visit& visit) const {
    for (const Slot& slot : always_) {
      if (visit(slot)) return true;
    }
    return false;
  }

  std::size_t count_ = 0;
  double cellSize_ = 1.0;
  double maxRadius_ = 0.0;  // the largest |radius| among the objects in cells
  Axis x_;
  Axis y_;
  std::vector<std::uint32_t> cellStart_;  // row-major: cell (i, j) is slots [start[j*nx+i], start[j*nx+i+1])
  std::vector<Slot> slots_;               // by cell, and by index within a cell
  std::vector<Slot> always_;              // by index
};

template <class Visit>
bool ObjectGrid::visitNearBox(Vec2 lo, Vec2 hi, double reach, Visit&& visit) const {
  if (visitAlways(visit)) return true;
  // A mover gone astray (infinite or unordered numbers) searches every cell.
  if (!finite(lo, hi, reach)) return visitRows(0, x_.cells - 1, 0, y_.cells - 1, visit);
  const double pad = padFor(lo, hi, reach);
  return visitRows(x_.lowCell(lo.x - pad), x_.highCell(hi.x + pad), y_.lowCell(lo.y - pad),
                   y_.highCell(hi.y + pad), visit);
}

template <class Visit>
bool ObjectGrid::visitNearSegment(Vec2 a, Vec2 b, double reach, Visit&& visit) const {
  if (!finite(a, b, reach)) return visitNearBox(a, b, reach, visit);  // every cell
  const Vec2 lo = {smaller(a.x, b.x), smaller(a.y, b.y)};
  const Vec2 hi = {larger(a.x, b.x), larger(a.y, b.y)};
  const double pad = padFor(lo, hi, reach);
  if (visitAlways(visit)) return true;
  // A short segment: its box is as cheap as its strips.
  const int firstColumn = x_.lowCell(lo.x - pad);
  const int lastColumn = x_.highCell(hi.x + pad);
  const int firstRow = y_.lowCell(lo.y - pad);
  const int lastRow = y_.highCell(hi.y + pad);
  if (lastColumn - firstColumn < 3 || lastRow - firstRow < 3) {
    return visitRows(firstColumn, lastColumn, firstRow, lastRow, visit);
  }
  // Walk strips across the segment's longer side; in each, only the cells
  // within pad of the part of the segment that lies within pad of the strip.
  const bool byRows = std::fabs(b.y - a.y) > std::fabs(b.x - a.x);
  const Axis& major = byRows ? y_ : x_;
  const Axis& minor = byRows ? x_ : y_;
  const double aMajor = byRows ? a.y : a.x;
  const double bMajor = byRows ? b.y : b.x;
  const double aMinor = byRows ? a.x : a.y;
  const double bMinor = byRows ? b.x : b.y;
  const double majorLo = smaller(aMajor, bMajor);
  const double majorHi = larger(aMajor, bMajor);
  const double slope = bMajor == aMajor ? 0.0 : (bMinor - aMinor) / (bMajor - aMajor);  // |slope| <= 1
  const double cell = cellSize_;
  const double infinity = std::numeric_limits<double>::infinity();
  // From a's end toward b's: a search that stops at its first find (a sight
  // line from the viewer) meets the objects near a, which block most, first.
  const int lowStrip = major.lowCell(majorLo - pad);
  const int highStrip = major.highCell(majorHi + pad);
  const bool upward = aMajor <= bMajor;
  for (int step = 0; step <= highStrip - lowStrip; ++step) {
    const int k = upward ? lowStrip + step : highStrip - step;
    const double stripLo = k == 0 ? -infinity : major.origin + k * cell - major.boundSlack;
    const double stripHi = k == major.cells - 1 ? infinity : major.origin + (k + 1) * cell + major.boundSlack;
    const double from = larger(majorLo, stripLo - pad);
    const double to = smaller(majorHi, stripHi + pad);
    if (from > to) continue;
    const double m0 = aMinor + (from - aMajor) * slope;
    const double m1 = aMinor + (to - aMajor) * slope;
    const int first = minor.lowCell(smaller(m0, m1) - pad);
    const int last = minor.highCell(larger(m0, m1) + pad);
    if (byRows) {
      if (visitCells(k, first, last, visit)) return true;
    } else {
      for (int row = first; row <= last; ++row) {
        if (visitCells(row, k, k, visit)) return true;
      }
    }
  }
  return false;
}

}  // namespace rover
