#include "base/time_value.h"

namespace rover {

namespace {
const mpz_class kNanosPerMilli = 1000000;
const mpz_class kNanosPerMicro = 1000;

mpz_class truncatingQuotient(const mpz_class& value, const mpz_class& divisor) {
  mpz_class quotient;
  mpz_tdiv_q(quotient.get_mpz_t(), value.get_mpz_t(), divisor.get_mpz_t());
  return quotient;
}

// Every clock reading and every period goes through here, so it converts
// directly rather than through decimal text.
static_assert(sizeof(long) == sizeof(std::int64_t), "mpz_class takes a 64-bit long");
mpz_class fromInt64(std::int64_t value) {
  return mpz_class(static_cast<long>(value));
}
}  // namespace

TimeValue TimeValue::fromNanos(std::int64_t nanos) {
  return TimeValue(fromInt64(nanos));
}
TimeValue TimeValue::fromNanos(const mpz_class& nanos) {
  return TimeValue(nanos);
}
TimeValue TimeValue::fromMillis(std::int64_t millis) {
  return TimeValue(fromInt64(millis) * kNanosPerMilli);
}
TimeValue TimeValue::fromMillis(const mpz_class& millis) {
  return TimeValue(millis * kNanosPerMilli);
}

mpz_class TimeValue::wholeMillis() const {
  return truncatingQuotient(nanos_, kNanosPerMilli);
}
mpz_class TimeValue::wholeMicros() const {
  return truncatingQuotient(nanos_, kNanosPerMicro);
}
std::string TimeValue::millisText() const {
  return integerText(wholeMillis());
}

TimeValue operator+(const TimeValue& a, const TimeValue& b) {
  return TimeValue(mpz_class(a.nanos_ + b.nanos_));
}
TimeValue operator-(const TimeValue& a, const TimeValue& b) {
  return TimeValue(mpz_class(a.nanos_ - b.nanos_));
}

std::string integerText(const mpz_class& value) {
  return value.get_str(10);
}

}  // namespace rover
