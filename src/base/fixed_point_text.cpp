#include "base/fixed_point_text.h"

#include <cmath>
#include <cstdio>

namespace rover {

std::string formatReal(double x, int decimals) {
  // printf would write "-nan" for a NaN with its sign bit set; the wire has
  // only "nan", so NaN is settled before any sign handling.
  if (std::isnan(x)) return "nan";
  // Only a value strictly below zero gets a "-"; printf would also mark -0.0.
  std::string text = x < 0.0 ? "-" : "";
  x = std::fabs(x);
  if (std::isinf(x)) return text + "inf";
  // "%.*f" in the C locale gives the correctly rounded fixed-point digits.
  // Everyday values fit the small buffer; huge ones have hundreds of digits
  // and are written again into a buffer of their measured length.
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

}  // namespace rover
