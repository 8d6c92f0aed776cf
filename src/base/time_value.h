#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <string>

namespace rover {

// A point in time or a duration, as a whole number of nanoseconds of
// arbitrary size: a map's time limit may be any integer of milliseconds, and
// no time value is ever narrowed to a fixed width.
class TimeValue {
 public:
  TimeValue() = default;
  static TimeValue fromNanos(std::int64_t nanos);
  static TimeValue fromNanos(const mpz_class& nanos);
  static TimeValue fromMillis(std::int64_t millis);
  static TimeValue fromMillis(const mpz_class& millis);

  const mpz_class& nanos() const { return nanos_; }
  // Truncating division toward zero, as every duration on the wire is derived.
  mpz_class wholeMillis() const;
  mpz_class wholeMicros() const;
  // Whole milliseconds in decimal, with a leading "-" when negative.
  std::string millisText() const;

  friend TimeValue operator+(const TimeValue& a, const TimeValue& b);
  friend TimeValue operator-(const TimeValue& a, const TimeValue& b);
  friend bool operator==(const TimeValue& a, const TimeValue& b) { return a.nanos_ == b.nanos_; }
  friend bool operator<(const TimeValue& a, const TimeValue& b) { return a.nanos_ < b.nanos_; }
  friend bool operator<=(const TimeValue& a, const TimeValue& b) { return a.nanos_ <= b.nanos_; }
  friend bool operator>(const TimeValue& a, const TimeValue& b) { return a.nanos_ > b.nanos_; }
  friend bool operator>=(const TimeValue& a, const TimeValue& b) { return a.nanos_ >= b.nanos_; }

 private:
  explicit TimeValue(mpz_class nanos) : nanos_(std::move(nanos)) {}
  mpz_class nanos_;
};

// Decimal text of an arbitrary integer, "-" for negative values.
std::string integerText(const mpz_class& value);

}  // namespace rover
