#include "map/number_conversion.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace rover {

namespace {

constexpr mp_bitcnt_t kMantissaBits = 53;

locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

double nearestDouble(const mpz_class& value) {
  int sign = sgn(value);
  if (sign == 0) return 0.0;
  mpz_class magnitude = abs(value);
  mp_bitcnt_t bits = mpz_sizeinbase(magnitude.get_mpz_t(), 2);
  if (bits <= kMantissaBits) {
    double exact = magnitude.get_d();
    return sign < 0 ? -exact : exact;
  }
  // Keep the top 53 bits and round on the bits shifted out: above half rounds
  // up, exactly half rounds to the even neighbour.
  mp_bitcnt_t shift = bits - kMantissaBits;
  mpz_class top;
  mpz_fdiv_q_2exp(top.get_mpz_t(), magnitude.get_mpz_t(), shift);
  bool halfBit = mpz_tstbit(magnitude.get_mpz_t(), shift - 1) != 0;
  bool belowHalfBits = mpz_scan1(magnitude.get_mpz_t(), 0) < shift - 1;
  bool odd = mpz_tstbit(top.get_mpz_t(), 0) != 0;
  if (halfBit && (belowHalfBits || odd)) top += 1;
  double result;
  if (shift > 2000) {
    result = HUGE_VAL;
  } else {
    result = std::ldexp(top.get_d(), static_cast<int>(shift));
  }
  return sign < 0 ? -result : result;
}

double parseRealText(std::string_view text) {
  // std::from_chars rounds correctly, needs no copy and no locale. Out of
  // range it leaves the value unset, so strtod_l gives the zero, subnormal or
  // infinity instead.
  double value = 0.0;
  std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc() && result.ptr == text.data() + text.size()) return value;
  return parseRealTextWithStrtod(text);
}

double parseRealTextWithStrtod(std::string_view text) {
  std::string copy(text);
  // strtod_l rounds correctly and returns the right subnormal, zero or
  // infinity on a range error; the ERANGE it sets is not a failure here.
  return strtod_l(copy.c_str(), nullptr, cLocale());
}

mpz_class parseIntegerText(std::string_view text) {
  mpz_class result;
  parseIntegerText(text, result);
  return result;
}

void parseIntegerText(std::string_view text, mpz_class& out) {
  bool negative = !text.empty() && text.front() == '-';
  std::string_view digits = negative ? text.substr(1) : text;
  if (digits.size() <= 18) {
    long value = 0;
    for (char digit : digits) value = value * 10 + (digit - '0');
    out = negative ? -value : value;
  } else {
    std::string copy(text);
    out.set_str(copy, 10);
  }
}

}  // namespace rover
