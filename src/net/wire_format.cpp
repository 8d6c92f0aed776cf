#include "net/wire_format.h"

#include <string_view>

#include "base/fixed_point_text.h"

namespace rover {

void writeReal(OutputBuffer& out, double x, int decimals) {
  // The text and its space go in as one piece, written in place.
  char text[kFixedTextCapacity + 1];
  const std::size_t length = writeFixed(text, x, decimals);
  text[length] = ' ';
  out.append(std::string_view(text, length + 1));
}

void writeTime(OutputBuffer& out, const TimeValue& t) {
  out.append(t.millisText());
  out.append(' ');
}

}  // namespace rover
