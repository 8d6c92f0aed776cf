#include "sim/rover_objects.h"

#include <algorithm>

#include "sim/static_objects.h"
#include "sim/world.h"

namespace rover {

RoverObjects::RoverObjects(const std::vector<Martian>& martians, std::shared_ptr<const StaticObjects> statics)
    : statics_(std::move(statics)) {
  for (const Martian& martian : martians) martianIds_.push_back(martian.index);
  visible_.assign(martianIds_.size() + (statics_ ? statics_->size() : 0), 0);
}

RoverObject RoverObjects::operator[](std::size_t entry) const {
  if (entry < martianIds_.size()) {
    WorldObject martian;
    martian.kind = ObjectKind::MartianObj;
    martian.id = martianIds_[entry];
    return {martian, visible_[entry] != 0};
  }
  return {(*statics_)[entry - martianIds_.size()], visible_[entry] != 0};
}

bool RoverObjects::removeMartian(int index) {
  const auto id = std::find(martianIds_.begin(), martianIds_.end(), index);
  if (id == martianIds_.end()) return false;
  visible_.erase(visible_.begin() + (id - martianIds_.begin()));
  martianIds_.erase(id);
  return true;
}

}  // namespace rover
