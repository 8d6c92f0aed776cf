#include "sim/world.h"

#include "base/failure.h"
#include "sim/static_objects.h"

namespace rover {

const StaticObjects& staticsOf(const World& world, const WorldRules& rules) {
  if (rules.statics == nullptr || world.roverObjects.statics() != rules.statics.get()) {
    raiseFail("the rover's object list names other static objects than the rules");
  }
  return *rules.statics;
}

const Martian* findMartian(const World& world, int index) {
  // A run lists its Martians in index order and only ever removes some, so a
  // binary search finds them without a pass over the whole list (sensing asks
  // once per Martian; a walk would make each pass quadratic in their number).
  const std::vector<Martian>& martians = world.martians;
  std::size_t low = 0;
  std::size_t high = martians.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (martians[mid].index < index) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low < martians.size() && martians[low].index == index) return &martians[low];
  // A list in any other order is still searched correctly, only slower.
  for (const Martian& martian : martians) {
    if (martian.index == index) return &martian;
  }
  return nullptr;
}

const Martian& martianOf(const World& world, const WorldObject& entry) {
  const Martian* martian = entry.kind == ObjectKind::MartianObj ? findMartian(world, entry.id) : nullptr;
  if (martian == nullptr) raiseFail("rover object names a Martian that is gone");
  return *martian;
}

const Martian& martianAtEntry(const World& world, std::size_t i) {
  if (i >= world.martians.size() || i >= world.roverObjects.martianCount() ||
      world.martians[i].index != world.roverObjects.martianId(i)) {
    raiseFail("the rover's object list and the Martian list are out of step");
  }
  return world.martians[i];
}

CircleObject objectCircle(const World& world, const WorldObject& object) {
  if (object.kind != ObjectKind::MartianObj) return object.circle;
  return {martianOf(world, object).motion.position, kMartianRadius};
}

}  // namespace rover
