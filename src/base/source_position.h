#pragma once

#include <cstdint>

namespace rover {

// A place in the map file as a person counts it: lines and columns (in
// characters) from 1. Line 0 means "no position" (for example a file that
// could not be opened).
struct SourcePosition {
  std::uint32_t line = 0;
  std::uint32_t column = 0;
};

}  // namespace rover
