#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/motion.h"
#include "sim/object_grid.h"
#include "sim/sight_lines.h"
#include "sim/view_ellipse.h"
#include "sim/world.h"

namespace rover {

// A target of an occlusion query: the circle the viewer looks toward, and
// the index of the static object it is, or any index beyond the list (a
// Martian).
struct SightTarget {
  CircleObject circle;
  std::size_t self = 0;
};

// Where a look-ahead ray first enters an obstacle's (enlarged) circle.
struct Hit {
  double t = 0.0;
  Vec2 center;
  double radius = 0.0;
};

// A map's static objects (Home, craters in file order, boulders in file
// order), fixed for every run, and the one place that searches them: each
// query below is answered here, bit for bit as a walk over the list in
// order would answer it. Lists of a few objects are walked; longer ones are
// searched through a grid built with them (sim/object_grid.h), which only
// narrows the search. Inputs the grid's rounding allowance does not cover
// (non-finite numbers, directions far from unit length) visit every object
// in list order.
class StaticObjects {
 public:
  // halfSize, the terrain's, shapes the grid's cells: objects anywhere are
  // found, but the cells are laid out for those on the terrain.
  explicit StaticObjects(std::vector<WorldObject> objects,
                         double halfSize = std::numeric_limits<double>::infinity());

  std::size_t size() const { return objects_.size(); }
  const WorldObject& operator[](std::size_t k) const { return objects_[k]; }
  const std::vector<WorldObject>& list() const { return objects_; }

  // What a Martian's contact search finds: the first object in list order
  // that it touches, and how far it may move from p before it could touch
  // any (0 when it touches one).
  struct MartianContact {
    std::optional<std::size_t> object;
    double clearance = 0.0;
  };
  MartianContact martianContact(Vec2 p) const;

  // The first object in list order whose flag in `visible` (one per object)
  // is set and that the rover at p touches.
  std::optional<std::size_t> roverContact(Vec2 p, std::span<const char> visible) const;

  // The nearest obstacle on a Martian's look-ahead ray within
  // kLookAheadSeconds of travel; among equal distances the earlier object.
  std::optional<Hit> lookAhead(const MotionState& state) const;

  // Sets inside[k] (one per object) to whether object k's near edge lies in
  // the view ellipse centred at e of a rover whose heading has this cosine
  // and sine.
  void sense(const ViewEllipse& view, Vec2 e, double cosH, double sinH, std::span<char> inside) const;

  // Sets hidden[i] (one per target) to whether a boulder whose flag in
  // `seen` is set, other than target i itself, hides target i from the
  // viewer: the sight line toward its centre enters the boulder at a
  // distance s with 0 <= s < the distance to its near edge. A target whose
  // near edge is not strictly ahead is never hidden (this also keeps one
  // centred on the viewer, which has no direction). `lines` is storage the
  // query reuses from one pass to the next.
  void hides(Vec2 viewer, std::span<const SightTarget> targets, std::span<const char> seen, SightLines& lines,
             std::vector<char>& hidden) const;

  // The grid, when the list is long enough for one (tests look at its shape).
  const ObjectGrid* grid() const { return grid_ ? &*grid_ : nullptr; }

 private:
  std::vector<WorldObject> objects_;
  std::optional<ObjectGrid> grid_;
};

}  // namespace rover
