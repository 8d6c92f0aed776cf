#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace rover {

// Calls visit(k) for each k whose flag is set, in order, looking at eight
// flags at a time: in the static objects' flags most are clear.
template <class Visit>
void forEachSetFlag(std::span<const char> flags, Visit&& visit) {
  std::size_t k = 0;
  for (; k + 8 <= flags.size(); k += 8) {
    std::uint64_t word;
    std::memcpy(&word, flags.data() + k, sizeof word);
    if (word == 0) continue;
    for (std::size_t j = k; j < k + 8; ++j) {
      if (flags[j] != 0) visit(j);
    }
  }
  for (; k < flags.size(); ++k) {
    if (flags[k] != 0) visit(k);
  }
}

}  // namespace rover
