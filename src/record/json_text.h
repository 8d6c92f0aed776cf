#pragma once

#include <gmpxx.h>

#include <string>
#include <string_view>

namespace rover {

// The pieces of the JSON that records and results files are made of. Reals
// are the shortest text that reads back to the same double; non-finite ones
// are the strings "nan", "inf", "-inf"; integers are exact at any size.

// A JSON string whose characters U+0000..U+00FF stand for the bytes of
// `bytes` (Latin-1): ASCII reads as itself, any byte sequence round-trips.
void appendJsonString(std::string& out, std::string_view bytes);
// The shortest decimal that reads back to x.
void appendJsonReal(std::string& out, double x);
// The text the wire carries for x with this many decimals, as a JSON number.
void appendWireReal(std::string& out, double x, int decimals);
void appendJsonInteger(std::string& out, const mpz_class& value);

}  // namespace rover
