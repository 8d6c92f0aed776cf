#pragma once

#include <string>

#include "base/time_value.h"
#include "net/output_buffer.h"

namespace rover {

// Fixed-point text of x with the given number of decimals, correctly rounded;
// "-" only when x < 0.0 (so -0.0 gives "0.000"), "inf", "nan" (whatever the
// NaN's sign bit). No trailing space.
std::string formatReal(double x, int decimals);

// formatReal followed by one space.
void writeReal(OutputBuffer& out, double x, int decimals);
// Whole milliseconds (truncated toward zero) in decimal, "-" when negative, then one space.
void writeTime(OutputBuffer& out, const TimeValue& t);

}  // namespace rover
