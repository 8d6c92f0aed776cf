#pragma once

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/source_position.h"

namespace rover {

// One parsed JSON value: an object (members in file order, duplicates kept),
// an array, an integer of any size, a real, or "other" (true, false, null and
// strings, whose content the map never reads). Move-only; destroying a value
// never recurses, so any nesting depth is safe.
//
// A map holds tens of thousands of small objects, so a value is kept small:
// a container owns one array of exactly its children, allocated once when it
// is complete, and an integer that fits in 64 bits needs no GMP integer.
class JsonValue {
 public:
  enum class Kind : std::uint8_t { Other, Int, Real, Object, Array };
  struct Member;
  using Members = std::span<const Member>;
  using Elements = std::span<const JsonValue>;

  JsonValue() = default;
  // The containers take their children by moving them out of `members` or `elements`.
  static JsonValue makeObject(std::span<Member> members, SourcePosition at);
  static JsonValue makeArray(std::span<JsonValue> elements, SourcePosition at);
  static JsonValue makeInt(const mpz_class& value, SourcePosition at);
  static JsonValue makeInt(std::int64_t value, SourcePosition at);
  static JsonValue makeReal(double value, SourcePosition at);
  static JsonValue makeOther(SourcePosition at);

  // Moves and destruction are inline: the parser moves every value twice.
  JsonValue(JsonValue&& other) noexcept { take(other); }
  JsonValue& operator=(JsonValue&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;
  ~JsonValue() { release(); }

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
  // Takes everything from `other`, which is left "other" and owning nothing.
  void take(JsonValue& other) noexcept {
    kind_ = other.kind_;
    bigInteger_ = other.bigInteger_;
    position_ = other.position_;
    payload_ = other.payload_;
    count_ = other.count_;
    other.kind_ = Kind::Other;
    other.bigInteger_ = false;
    other.count_ = 0;
  }
  // Frees what this value owns, if anything.
  void release() noexcept {
    if (bigInteger_ || ownsChildren()) releaseOwned();
  }
  // Frees a big integer, or a container's children through a work list.
  void releaseOwned() noexcept;
  bool ownsChildren() const { return (kind_ == Kind::Object || kind_ == Kind::Array) && count_ > 0; }
  // Frees this container's own array, whose children own nothing any more.
  void freeOwnArray() noexcept;

  Kind kind_ = Kind::Other;
  bool bigInteger_ = false;  // an Int held in payload_.big
  SourcePosition position_;
  union Payload {
    std::int64_t small;
    double real;
    mpz_class* big;
    Member* members;
    JsonValue* elements;
  } payload_{0};
  std::size_t count_ = 0;  // a container's children
};

struct JsonValue::Member {
  std::string key;
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
