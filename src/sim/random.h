#pragma once

#include <cstdint>

namespace rover {

// The program's one random generator: seeded from two fixed integers, so every
// start of the same binary on the same map replays the same Martian paths.
class Random {
 public:
  Random();  // the fixed program seeds: the game of seed 0
  // The game's generator for a seed: the seed is XORed into the first fixed
  // seed, so every bit of it matters and seed 0 is the fixed generator.
  explicit Random(std::uint64_t gameSeed);
  Random(std::uint64_t seedA, std::uint64_t seedB);

  // A uniform real in [0, 1), built from the generator's own bits.
  double nextUnit();

 private:
  std::uint64_t state_[4];
};

}  // namespace rover
