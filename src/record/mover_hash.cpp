#include "record/mover_hash.h"

#include <cstring>

namespace rover {

namespace {

class Fnv1a {
 public:
  void bytes(const unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      hash_ ^= data[i];
      hash_ *= 0x100000001b3ULL;
    }
  }
  // Little-endian, whatever the host: the record format fixes the order.
  void u64(std::uint64_t value) {
    unsigned char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(value >> (8 * i));
    bytes(b, 8);
  }
  void i32(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    unsigned char b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
    bytes(b, 4);
  }
  void real(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u64(bits);
  }
  void motion(const MotionState& m) {
    real(m.speed);
    real(m.rotation);
    real(m.heading);
    real(m.position.x);
    real(m.position.y);
    real(m.direction.x);
    real(m.direction.y);
  }
  void control(ControlState c) {
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
  h.motion(world.rover);
  h.control(world.roverControl);
  for (const Martian& martian : world.martians) {
    h.i32(martian.index);
    h.motion(martian.motion);
    h.control(martian.control);
    h.real(martian.wanderAngle);
  }
  return h.value();
}

}  // namespace rover
