#include "sim/world.h"

namespace rover {

const Martian* findMartian(const World& world, int index) {
  for (const Martian& martian : world.martians) {
    if (martian.index == index) return &martian;
  }
  return nullptr;
}

}  // namespace rover
