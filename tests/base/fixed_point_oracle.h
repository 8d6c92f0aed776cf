#pragma once

// The reals' fixed-point text as the server wrote it before writeFixed: the
// C library's printf, kept here as the oracle the formatter is checked
// against, with the sweeps the test and the benchmark share.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/fixed_point_text.h"

namespace rover::testing {

// printf's "%.*f" with the wire's sign rules: "-" only below zero, "nan"
// whatever the sign bit.
inline std::string printfFixed(double x, int decimals) {
  if (std::isnan(x)) return "nan";
  std::string text = x < 0.0 ? "-" : "";
  x = std::fabs(x);
  if (std::isinf(x)) return text + "inf";
  char small[64];
  const int length = std::snprintf(small, sizeof small, "%.*f", decimals, x);
  if (static_cast<std::size_t>(length) < sizeof small)
    return text.append(small, static_cast<std::size_t>(length));
  const std::size_t prefix = text.size();
  text.resize(prefix + static_cast<std::size_t>(length) + 1);
  std::snprintf(text.data() + prefix, static_cast<std::size_t>(length) + 1, "%.*f", decimals, x);
  text.pop_back();
  return text;
}

// Counts the values whose text differs from the expected one and keeps the first.
class FixedPointCheck {
 public:
  void expect(double x, int decimals, std::string_view expected) {
    char text[kFixedTextCapacity];
    const std::string_view got(text, writeFixed(text, x, decimals));
    ++checked_;
    if (got == expected) return;
    if (mismatches_++ == 0) {
      char bits[64];
      std::snprintf(bits, sizeof bits, "%a", x);
      first_ = std::string(bits) + " with " + std::to_string(decimals) + " decimals: got \"" +
               std::string(got) + "\", expected \"" + std::string(expected) + "\"";
    }
  }
  // Against printf.
  void check(double x, int decimals) { expect(x, decimals, printfFixed(x, decimals)); }

  std::uint64_t checked() const { return checked_; }
  std::uint64_t mismatches() const { return mismatches_; }
  const std::string& first() const { return first_; }

 private:
  std::uint64_t checked_ = 0;
  std::uint64_t mismatches_ = 0;
  std::string first_;
};

// Writes "-" when negative, then q / 10^decimals with `decimals` digits
// after the point, into `out` (32 bytes); returns the text.
inline std::string_view scaledText(char* out, bool negative, std::uint64_t q, int decimals) {
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  char* p = out;
  if (negative) *p++ = '-';
  p = std::to_chars(p, out + 32, q / scale).ptr;
  if (decimals > 0) {
    *p++ = '.';
    std::uint64_t fraction = q % scale;
    for (int i = decimals - 1; i >= 0; --i, fraction /= 10) p[i] = static_cast<char>('0' + fraction % 10);
    p += decimals;
  }
  return {out, static_cast<std::size_t>(p - out)};
}

// Every binary value that lies exactly halfway between two texts: k/16 for
// three decimals (k * 62.5 thousandths) and k/4 for one (k * 2.5 tenths),
// k odd, 0 < |k| <= limit. Each rounds to the even neighbour; the `ulps`
// doubles on either side round away from the tie toward their own side.
inline void checkTies(std::int64_t limit, int ulps, FixedPointCheck& check) {
  struct Grid {
    int decimals;
    double step;              // the binary spacing of the ties: 1/16 or 1/4
    std::uint64_t numerator;  // |x| * 10^decimals = |k| * numerator / 2
  };
  char evenText[32], belowText[32], aboveText[32];
  for (const Grid grid : {Grid{3, 1.0 / 16, 125}, Grid{1, 1.0 / 4, 5}}) {
    for (std::int64_t k = 1; k <= limit; k += 2) {
      const std::uint64_t lower = (static_cast<std::uint64_t>(k) * grid.numerator - 1) / 2;
      const std::uint64_t even = lower % 2 == 0 ? lower : lower + 1;
      for (const bool negative : {false, true}) {
        const double tie = static_cast<double>(negative ? -k : k) * grid.step;
        check.expect(tie, grid.decimals, scaledText(evenText, negative, even, grid.decimals));
        if (ulps == 0) continue;
        const std::string_view below = scaledText(belowText, negative, lower, grid.decimals);
        const std::string_view above = scaledText(aboveText, negative, lower + 1, grid.decimals);
        double down = tie;
        double up = tie;
        for (int u = 0; u < ulps; ++u) {
          down = std::nextafter(down, -INFINITY);
          up = std::nextafter(up, INFINITY);
          // Toward zero is toward the lower magnitude.
          check.expect(down, grid.decimals, negative ? above : below);
          check.expect(up, grid.decimals, negative ? below : above);
        }
      }
    }
  }
}

}  // namespace rover::testing
