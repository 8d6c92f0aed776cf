#pragma once

#include <cstddef>
#include <string>

namespace rover {

// The most decimals writeFixed takes, and the room its text may need: a
// sign, the 309 integer digits of the largest double, the point and the
// decimals.
inline constexpr int kMaxFixedDecimals = 20;
inline constexpr std::size_t kFixedTextCapacity = 1 + 309 + 1 + kMaxFixedDecimals;

// Writes the fixed-point text of x with `decimals` (0 to kMaxFixedDecimals)
// decimals, correctly rounded, into `out` (kFixedTextCapacity bytes) and
// returns its length: "-" only when x < 0.0 (so -0.0 gives "0.000"), "inf",
// "nan" (whatever the NaN's sign bit). No trailing space. The wire, the
// window's status column and the game records all write reals this way.
std::size_t writeFixed(char* out, double x, int decimals);

// The same text as a string, for any number of decimals (a negative number
// means six, as printf has it).
std::string formatReal(double x, int decimals);

}  // namespace rover
