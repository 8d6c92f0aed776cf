#include "record/mover_hash.h"

#include <cstring>

namespace rover {

namespace {

class Fnv1a {
 public:
  // Each value's bytes little-endian, whatever the host: the record format fixes the order.
  void bytes(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
      hash_ ^= static_cast<unsigned char>(value >> (8 * i));
      hash_ *= 0x100000001b3ULL;
    }
  }
  void i32(std::int32_t value) { bytes(static_cast<std::uint32_t>(value), 4); }
  void reals(std::initializer_list<double> values) {
    for (const double value : values) {
      std::uint64_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      bytes(bits, 8);
    }
  }
  void mover(const MotionState& m, ControlState c) {
    reals({m.speed, m.rotation, m.heading, m.position.x, m.position.y, m.direction.x, m.direction.y});
    i32(c.turn);
    i32(c.accel);
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace

std::uint64_t moverHash(const World& world) {
  Fnv1a h;
  h.mover(world.rover, world.roverControl);
  for (const Martian& martian : world.martians) {
    h.i32(martian.index);
    h.mover(martian.motion, martian.control);
    h.reals({martian.wanderAngle});
  }
  return h.value();
}

}  // namespace rover
