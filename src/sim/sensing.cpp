#include "sim/sensing.h"

#include <cmath>

#include "sim/occlusion.h"
#include "sim/static_objects.h"

namespace rover {

std::vector<std::size_t> sensePass(const ViewEllipse& view, World& world, const WorldRules& rules,
                                   std::vector<std::size_t>* occluded) {
  const StaticObjects& statics = staticsOf(world, rules);
  RoverObjects& list = world.roverObjects;
  const MotionState& rover = world.rover;
  const Vec2 e = rover.position + rover.direction * view.offset;
  const double hr = rover.heading * view.degToRad;
  const double cosH = std::cos(hr);
  const double sinH = std::sin(hr);

  // The Martian entries, then the static objects through their owner; the
  // flags then hold what lies inside the ellipse.
  std::vector<SensedCircle> seen;
  for (std::size_t i = 0; i < list.martianCount(); ++i) {
    const CircleObject circle = objectCircle(world, list[i].object);
    const bool inside = insideViewEllipse(view, e, cosH, sinH, circle);
    list.setVisible(i, inside);
    if (inside) seen.push_back({i, circle});
  }
  statics.sense(view, e, cosH, sinH, list.staticFlags());
  for (std::size_t k = 0; k < statics.size(); ++k) {
    if (list.staticFlags()[k] != 0) seen.push_back({list.staticEntry(k), statics[k].circle});
  }

  std::vector<std::size_t> visible = visibleAfterOcclusion(rover.position, seen, list, statics);
  // The flags keep only what remains visible; the hidden ones go to the record.
  if (occluded != nullptr) occluded->clear();
  std::size_t next = 0;
  for (const SensedCircle& s : seen) {
    if (next < visible.size() && visible[next] == s.entry) {
      ++next;
      continue;
    }
    list.setVisible(s.entry, false);
    if (occluded != nullptr) occluded->push_back(s.entry);
  }
  return visible;
}

}  // namespace rover
