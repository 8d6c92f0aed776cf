#pragma once

#include <string>

#include "base/time_value.h"
#include "net/output_buffer.h"

namespace rover {

// writeFixed's text (base/fixed_point_text.h) followed by one space.
void writeReal(OutputBuffer& out, double x, int decimals);
// The same text appended to a string.
void appendReal(std::string& out, double x, int decimals);
// Whole milliseconds (truncated toward zero) in decimal, "-" when negative, then one space.
void writeTime(OutputBuffer& out, const TimeValue& t);

}  // namespace rover
