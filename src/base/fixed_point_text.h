#pragma once

#include <string>

namespace rover {

// Fixed-point text of x with the given number of decimals, correctly rounded;
// "-" only when x < 0.0 (so -0.0 gives "0.000"), "inf", "nan" (whatever the
// NaN's sign bit). No trailing space. The wire, the window's status column
// and the game records all write reals this way.
std::string formatReal(double x, int decimals);

}  // namespace rover
