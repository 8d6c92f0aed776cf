#include "net/wire_format.h"

#include <string_view>

#include "base/fixed_point_text.h"

namespace rover {
namespace {

// The text and its space, written in place.
template <class Sink>
void putReal(Sink& out, double x, int decimals) {
  char text[kFixedTextCapacity + 1];
  const std::size_t length = writeFixed(text, x, decimals);
  text[length] = ' ';
  out.append(std::string_view(text, length + 1));
}

}  // namespace

void writeReal(OutputBuffer& out, double x, int decimals) {
  putReal(out, x, decimals);
}

void appendReal(std::string& out, double x, int decimals) {
  putReal(out, x, decimals);
}

void writeTime(OutputBuffer& out, const TimeValue& t) {
  out.append(t.millisText());
  out.append(' ');
}

}  // namespace rover
