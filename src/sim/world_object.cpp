#include "sim/world_object.h"

#include "sim/constants.h"

namespace rover {

WorldObject homeObject() {
  WorldObject home;
  home.kind = ObjectKind::Home;
  home.circle = {{0.0, 0.0}, kHomeRadius};
  home.id = 0;
  return home;
}

}  // namespace rover
