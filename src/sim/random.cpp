#include "sim/random.h"

namespace rover {

namespace {

// The program's fixed seeds: no clock or other entropy, so every start replays
// the same Martian paths.
constexpr std::uint64_t kSeedA = 0x6d61727321726f76ULL;
constexpr std::uint64_t kSeedB = 0x0000000000017676ULL;

std::uint64_t splitmix64(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

}  // namespace

Random::Random() : Random(kSeedA, kSeedB) {}

Random::Random(std::uint64_t gameSeed) : Random(kSeedA ^ gameSeed, kSeedB) {}

Random::Random(std::uint64_t seedA, std::uint64_t seedB) {
  // Each seed feeds two state words; splitmix64 never yields an all-zero state here.
  state_[0] = splitmix64(seedA);
  state_[1] = splitmix64(seedA);
  state_[2] = splitmix64(seedB);
  state_[3] = splitmix64(seedB);
}

double Random::nextUnit() {
  // xoshiro256**: the top 53 bits become the mantissa of a value in [0, 1).
  const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotl(state_[3], 45);
  return static_cast<double>(result >> 11) * 0x1.0p-53;
}

}  // namespace rover
