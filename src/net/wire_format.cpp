#include "net/wire_format.h"

#include "base/fixed_point_text.h"

namespace rover {

void writeReal(OutputBuffer& out, double x, int decimals) {
  out.append(formatReal(x, decimals));
  out.append(' ');
}

void writeTime(OutputBuffer& out, const TimeValue& t) {
  out.append(t.millisText());
  out.append(' ');
}

}  // namespace rover
