#include "base/fixed_point_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace rover {

// Rounding: the digits are the correctly rounded value to nearest, ties to
// even, which is what the processor's default rounding mode gives. printf
// would follow a changed rounding mode; std::to_chars and the integer
// arithmetic below never do. The server never changes the mode, so the
// text is the same as printf's "%.*f" would be.

namespace {

constexpr std::uint64_t kScale[] = {1, 10, 100, 1000};
// writeExact's range: three decimals at most, and values below 2^53, which
// are m * 2^-s with s >= 0.
constexpr int kExactDecimals = 3;
constexpr double kExactBelow = 0x1p53;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of v, zero-padded to at least `width`, and
// returns the end. In place, from the last digit back: no buffer to copy.
char* writeDigits(char* out, std::uint64_t v, int width) {
  int digits = 1;
  for (std::uint64_t bound = 10; digits < 20 && v >= bound; bound *= 10) ++digits;
  if (digits < width) digits = width;
  char* const end = out + digits;
  char* p = end;
  while (v >= 100) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * v, 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  while (p > out) *--p = '0';
  return end;
}

// x finite, 0 <= x < 2^53, decimals 0 to 3. With x = m * 2^-s exactly,
// x * 10^d is the integer m * 10^d (below 2^63) shifted right by s; the bits
// shifted out decide the rounding, half to even.
char* writeExact(char* out, double x, int decimals) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>(bits >> 52);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int shift = 1074;  // subnormals and zero
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    shift = 1075 - biased;
  }
  const std::uint64_t scale = kScale[decimals];
  const std::uint64_t n = m * scale;
  std::uint64_t q = 0;  // a shift of 64 or more leaves less than half of one
  if (shift == 0) {
    q = n;
  } else if (shift < 64) {
    q = n >> shift;
    const std::uint64_t rest = n & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  out = writeDigits(out, q / scale, 1);
  if (decimals == 0) return out;
  *out++ = '.';
  return writeDigits(out, q % scale, decimals);
}

// The text into [out, end), which has room for it.
char* writeFixedTo(char* out, char* end, double x, int decimals) {
  // printf would write "-nan" for a NaN with its sign bit set; the wire has
  // only "nan", so NaN is settled before any sign handling.
  if (std::isnan(x)) {
    std::memcpy(out, "nan", 3);
    return out + 3;
  }
  // Only a value strictly below zero gets a "-"; printf would also mark -0.0.
  if (x < 0.0) *out++ = '-';
  x = std::fabs(x);
  if (std::isinf(x)) {
    std::memcpy(out, "inf", 3);
    return out + 3;
  }
  if (decimals <= kExactDecimals && x < kExactBelow) return writeExact(out, x, decimals);
  return std::to_chars(out, end, x, std::chars_format::fixed, decimals).ptr;
}

}  // namespace

std::size_t writeFixed(char* out, double x, int decimals) {
  return static_cast<std::size_t>(writeFixedTo(out, out + kFixedTextCapacity, x, decimals) - out);
}

std::string formatReal(double x, int decimals) {
  if (decimals < 0) decimals = 6;
  if (decimals <= kMaxFixedDecimals) {
    char text[kFixedTextCapacity];
    return std::string(text, writeFixed(text, x, decimals));
  }
  std::string text(1 + 309 + 1 + static_cast<std::size_t>(decimals), '\0');
  text.resize(static_cast<std::size_t>(writeFixedTo(text.data(), text.data() + text.size(), x, decimals) -
                                       text.data()));
  return text;
}

}  // namespace rover
