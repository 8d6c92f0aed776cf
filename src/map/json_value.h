#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/source_position.h"

namespace rover {

// One parsed JSON value: an object (members in file order, duplicates kept),
// an array, an integer of any size, a real, or "other" (true, false, null and
// strings, whose content the map never reads). Move-only; destroying a value
// never recurses, so any nesting depth is safe.
class JsonValue {
 public:
  enum class Kind : std::uint8_t { Other, Int, Real, Object, Array };
  struct Member;
  using Members = std::vector<Member>;
  using Elements = std::vector<JsonValue>;

  JsonValue() = default;
  static JsonValue makeObject(SourcePosition at);
  static JsonValue makeArray(SourcePosition at);
  static JsonValue makeInt(mpz_class value, SourcePosition at);
  static JsonValue makeReal(double value, SourcePosition at);
  static JsonValue makeOther(SourcePosition at);

  JsonValue(JsonValue&& other) noexcept = default;
  JsonValue& operator=(JsonValue&& other) noexcept;
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;
  ~JsonValue();

  Kind kind() const { return static_cast<Kind>(content_.index()); }
  // Where the value starts in the file.
  SourcePosition position() const { return position_; }

  // The accessors below require the matching kind.
  const mpz_class& integer() const { return std::get<mpz_class>(content_); }
  double real() const { return std::get<double>(content_); }
  const Members& members() const { return std::get<Members>(content_); }
  Members& members() { return std::get<Members>(content_); }
  const Elements& elements() const { return std::get<Elements>(content_); }
  Elements& elements() { return std::get<Elements>(content_); }

 private:
  // Moves the children of this value, if any, to the end of `out`.
  void detachChildren(Elements& out);

  std::variant<std::monostate, mpz_class, double, Members, Elements> content_;
  SourcePosition position_;
};

struct JsonValue::Member {
  std::string key;
  JsonValue value;
};

// The value of the first member whose key equals `key` byte for byte; fails
// with "no definition for field \"<key>\"" when there is none, at `where`
// (the object's place) when given.
const JsonValue& lookupField(const JsonValue::Members& members, std::string_view key,
                             std::optional<SourcePosition> where = std::nullopt);

}  // namespace rover
