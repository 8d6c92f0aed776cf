#include "sim/sensing.h"

#include <cmath>
#include <limits>

#include "sim/set_flags.h"

namespace rover {

const std::vector<std::size_t>& Sensing::pass(const ViewEllipse& view, World& world,
                                              const WorldRules& rules) {
  const StaticObjects& statics = staticsOf(world, rules);
  RoverObjects& list = world.roverObjects;
  const MotionState& rover = world.rover;
  const Vec2 e = rover.position + rover.direction * view.offset;
  const double hr = rover.heading * view.degToRad;
  const double cosH = std::cos(hr);
  const double sinH = std::sin(hr);

  // The Martian entries, then the static objects through their owner; the
  // flags then hold what lies inside the ellipse.
  seenEntries_.clear();
  seen_.clear();
  constexpr std::size_t kMartian = std::numeric_limits<std::size_t>::max();
  for (std::size_t i = 0; i < list.martianCount(); ++i) {
    const CircleObject circle = {martianAtEntry(world, i).motion.position, kMartianRadius};
    const bool inside = insideViewEllipse(view, e, cosH, sinH, circle);
    list.setVisible(i, inside);
    if (inside) {
      seenEntries_.push_back(i);
      seen_.push_back({circle, kMartian});
    }
  }
  const std::span<char> flags = list.staticFlags();
  statics.sense(view, e, cosH, sinH, flags);
  forEachSetFlag(flags, [&](std::size_t k) {
    seenEntries_.push_back(list.staticEntry(k));
    seen_.push_back({statics[k].circle, k});
  });

  statics.hides(rover.position, seen_, flags, lines_, hidden_);
  // The flags keep only what remains visible; the hidden ones go to the record.
  visible_.clear();
  occluded_.clear();
  for (std::size_t i = 0; i < seen_.size(); ++i) {
    if (hidden_[i] == 0) {
      visible_.push_back(seenEntries_[i]);
    } else {
      list.setVisible(seenEntries_[i], false);
      occluded_.push_back(seenEntries_[i]);
    }
  }
  return visible_;
}

}  // namespace rover
