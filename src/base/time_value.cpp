#include "base/time_value.h"

namespace rover {

namespace {

constexpr std::int64_t kNanosPerMilli = 1'000'000;
constexpr std::int64_t kNanosPerMicro = 1'000;

static_assert(sizeof(long) == sizeof(std::int64_t), "GMP's long functions take a 64-bit value");

mpz_class toMpz(std::int64_t value) {
  return mpz_class(static_cast<long>(value));
}

mpz_class truncatingQuotient(const mpz_class& value, std::int64_t divisor) {
  mpz_class quotient;
  mpz_tdiv_q_ui(quotient.get_mpz_t(), value.get_mpz_t(), static_cast<unsigned long>(divisor));
  return quotient;
}

}  // namespace

TimeValue TimeValue::fromExact(mpz_class nanos) {
  if (mpz_fits_slong_p(nanos.get_mpz_t())) return TimeValue(static_cast<std::int64_t>(nanos.get_si()));
  TimeValue value;
  value.nanos_ = std::move(nanos);
  return value;
}

TimeValue TimeValue::fromNanos(std::int64_t nanos) {
  return TimeValue(nanos);
}
TimeValue TimeValue::fromNanos(const mpz_class& nanos) {
  return fromExact(nanos);
}
TimeValue TimeValue::fromMillis(std::int64_t millis) {
  std::int64_t nanos;
  if (!__builtin_mul_overflow(millis, kNanosPerMilli, &nanos)) return TimeValue(nanos);
  return fromExact(toMpz(millis) * kNanosPerMilli);
}
TimeValue TimeValue::fromMillis(const mpz_class& millis) {
  if (mpz_fits_slong_p(millis.get_mpz_t())) return fromMillis(static_cast<std::int64_t>(millis.get_si()));
  return fromExact(millis * kNanosPerMilli);
}

mpz_class TimeValue::nanos() const {
  if (const auto* small = std::get_if<std::int64_t>(&nanos_)) return toMpz(*small);
  return std::get<mpz_class>(nanos_);
}
std::optional<std::int64_t> TimeValue::nanos64() const {
  if (const auto* small = std::get_if<std::int64_t>(&nanos_)) return *small;
  return std::nullopt;
}

// C++ integer division truncates toward zero, as GMP's tdiv does.
mpz_class TimeValue::wholeMillis() const {
  if (const auto* small = std::get_if<std::int64_t>(&nanos_)) return toMpz(*small / kNanosPerMilli);
  return truncatingQuotient(std::get<mpz_class>(nanos_), kNanosPerMilli);
}
mpz_class TimeValue::wholeMicros() const {
  if (const auto* small = std::get_if<std::int64_t>(&nanos_)) return toMpz(*small / kNanosPerMicro);
  return truncatingQuotient(std::get<mpz_class>(nanos_), kNanosPerMicro);
}
std::string TimeValue::millisText() const {
  if (const auto* small = std::get_if<std::int64_t>(&nanos_)) return std::to_string(*small / kNanosPerMilli);
  return integerText(wholeMillis());
}

TimeValue operator+(const TimeValue& a, const TimeValue& b) {
  std::int64_t sum;
  if (a.nanos64() && b.nanos64() && !__builtin_add_overflow(*a.nanos64(), *b.nanos64(), &sum)) {
    return TimeValue(sum);
  }
  return TimeValue::fromExact(a.nanos() + b.nanos());
}
TimeValue operator-(const TimeValue& a, const TimeValue& b) {
  std::int64_t difference;
  if (a.nanos64() && b.nanos64() && !__builtin_sub_overflow(*a.nanos64(), *b.nanos64(), &difference)) {
    return TimeValue(difference);
  }
  return TimeValue::fromExact(a.nanos() - b.nanos());
}

bool operator==(const TimeValue& a, const TimeValue& b) {
  return (a <=> b) == 0;
}
std::strong_ordering operator<=>(const TimeValue& a, const TimeValue& b) {
  const auto* smallA = std::get_if<std::int64_t>(&a.nanos_);
  const auto* smallB = std::get_if<std::int64_t>(&b.nanos_);
  if (smallA && smallB) return *smallA <=> *smallB;
  // A big value lies outside the 64-bit range, so against a small one only its sign matters.
  if (smallB) return sgn(std::get<mpz_class>(a.nanos_)) <=> 0;
  if (smallA) return 0 <=> sgn(std::get<mpz_class>(b.nanos_));
  return cmp(std::get<mpz_class>(a.nanos_), std::get<mpz_class>(b.nanos_)) <=> 0;
}

std::string integerText(const mpz_class& value) {
  return value.get_str(10);
}

}  // namespace rover
