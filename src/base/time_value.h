#pragma once

#include <gmpxx.h>

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace rover {

// A point in time or a duration, as a whole number of nanoseconds of
// arbitrary size: a map's time limit may be any integer of milliseconds, and
// no time value is ever narrowed to a fixed width. Values that fit in 64 bits
// (every clock reading and period, any run of ordinary length) are held and
// computed without GMP or the heap; a result that overflows 64 bits is
// promoted to an arbitrary-precision integer, exactly.
class TimeValue {
 public:
  TimeValue() = default;
  static TimeValue fromNanos(std::int64_t nanos);
  static TimeValue fromNanos(const mpz_class& nanos);
  static TimeValue fromMillis(std::int64_t millis);
  static TimeValue fromMillis(const mpz_class& millis);

  // The exact count of nanoseconds. Returned by value, since a value that
  // fits in 64 bits holds no GMP integer to refer to.
  mpz_class nanos() const;
  // The count of nanoseconds when it fits in 64 bits, without touching GMP.
  std::optional<std::int64_t> nanos64() const;
  // Truncating division toward zero, as every duration on the wire is derived.
  mpz_class wholeMillis() const;
  mpz_class wholeMicros() const;
  // Whole milliseconds in decimal, with a leading "-" when negative.
  std::string millisText() const;

  friend TimeValue operator+(const TimeValue& a, const TimeValue& b);
  friend TimeValue operator-(const TimeValue& a, const TimeValue& b);
  friend bool operator==(const TimeValue& a, const TimeValue& b);
  friend std::strong_ordering operator<=>(const TimeValue& a, const TimeValue& b);

 private:
  explicit TimeValue(std::int64_t nanos) : nanos_(nanos) {}
  // The value of an exact result, held small whenever it fits.
  static TimeValue fromExact(mpz_class nanos);

  // A GMP integer only for values outside the 64-bit range, so equal values
  // always have the same form.
  std::variant<std::int64_t, mpz_class> nanos_{std::int64_t{0}};
};

// Decimal text of an arbitrary integer, "-" for negative values.
std::string integerText(const mpz_class& value);

}  // namespace rover
