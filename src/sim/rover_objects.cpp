#include "sim/rover_objects.h"

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

void RoverObjects::removeMartians(std::span<const char> gone) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < martianIds_.size(); ++i) {
    if (gone[i] != 0) continue;
    martianIds_[kept] = martianIds_[i];
    visible_[kept] = visible_[i];
    ++kept;
  }
  const std::size_t removed = martianIds_.size() - kept;
  if (removed == 0) return;
  martianIds_.resize(kept);
  visible_.erase(visible_.begin() + static_cast<std::ptrdiff_t>(kept),
                 visible_.begin() + static_cast<std::ptrdiff_t>(kept + removed));
}

}  // namespace rover
