#pragma once

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/source_position.h"

namespace rover {

// One parsed JSON value: an object (members in file order, duplicates kept),
// an array, an integer of any size, a real, or "other" (true, false, null and
// strings, whose content the map never reads).
//
// A value is a small view: a container's children, its keys and big
// integers live in the JsonDocument it was parsed into (json_document.h),
// which must outlive it. Values are freely copied and never free anything,
// so any nesting depth is safe.
class JsonValue {
 public:
  enum class Kind : std::uint8_t { Other, Int, Real, Object, Array };
  struct Member;
  using Members = std::span<const Member>;
  using Elements = std::span<const JsonValue>;

  JsonValue() = default;
  // The containers and big integers take storage that outlives the value.
  // A container holds fewer than 2^32 children.
  static JsonValue makeObject(Members members, SourcePosition at);
  static JsonValue makeArray(Elements elements, SourcePosition at);
  static JsonValue makeInt(const mpz_class* big, SourcePosition at);
  static JsonValue makeInt(std::int64_t value, SourcePosition at) {
    JsonValue v(Kind::Int, at);
    v.payload_.small = value;
    return v;
  }
  static JsonValue makeReal(double value, SourcePosition at) {
    JsonValue v(Kind::Real, at);
    v.payload_.real = value;
    return v;
  }
  static JsonValue makeOther(SourcePosition at) { return JsonValue(Kind::Other, at); }

  Kind kind() const { return kind_; }
  // Where the value starts in the file.
  SourcePosition position() const { return position_; }

  // The accessors below require the matching kind.
  mpz_class integer() const;
  // The integer when it fits in 64 bits.
  std::optional<std::int64_t> integer64() const {
    if (bigInteger_) return std::nullopt;
    return payload_.small;
  }
  double real() const { return payload_.real; }
  Members members() const;
  Elements elements() const { return {payload_.elements, count_}; }

 private:
  JsonValue(Kind kind, SourcePosition at) : kind_(kind), position_(at) {}

  // 24 bytes: a map holds millions of values, and their pages cost more
  // than their instructions.
  Kind kind_ = Kind::Other;
  bool bigInteger_ = false;  // an Int held in payload_.big
  std::uint32_t count_ = 0;  // a container's children
  SourcePosition position_;
  union Payload {
    std::int64_t small;
    double real;
    const mpz_class* big;
    const Member* members;
    const JsonValue* elements;
  } payload_{0};
};

struct JsonValue::Member {
  std::string_view key;
  JsonValue value;
};

inline JsonValue::Members JsonValue::members() const {
  return {payload_.members, count_};
}

// The value of the first member whose key equals `key` byte for byte; fails
// with "no definition for field \"<key>\"" when there is none, at `where`
// (the object's place) when given.
const JsonValue& lookupField(JsonValue::Members members, std::string_view key,
                             std::optional<SourcePosition> where = std::nullopt);

}  // namespace rover
