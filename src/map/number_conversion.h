#pragma once

#include <gmpxx.h>

#include <string_view>

namespace rover {

// The double nearest to an integer of any size, ties to even; beyond the
// double range, an infinity of the integer's sign. Zero gives +0.0.
double nearestDouble(const mpz_class& value);

// The double nearest to a decimal number text of the JSON grammar, whatever
// the process locale. Underflow gives the nearest subnormal or a signed zero,
// overflow an infinity of the text's sign; neither is a failure.
double parseRealText(std::string_view text);

// The same through the C library's strtod_l in the "C" locale: the way every
// real was read before std::from_chars, kept for the texts from_chars
// reports as out of range and as the reference it is checked against.
double parseRealTextWithStrtod(std::string_view text);

// Parses the decimal digits of an integer token (optional leading '-').
mpz_class parseIntegerText(std::string_view text);
// The same into `out`, reusing its storage: the lexer's one integer.
void parseIntegerText(std::string_view text, mpz_class& out);

}  // namespace rover
