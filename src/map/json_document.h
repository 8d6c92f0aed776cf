#pragma once

#include <gmpxx.h>

#include <deque>
#include <span>
#include <string_view>

#include "map/json_arena.h"
#include "map/json_value.h"

namespace rover {

// A parsed JSON text: its first value and the storage of every container,
// key and big integer in it. Move-only; the values it hands out live as long
// as it does.
class JsonDocument {
 public:
  JsonDocument() = default;
  JsonDocument(JsonDocument&&) = default;
  JsonDocument& operator=(JsonDocument&&) = default;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  const JsonValue& root() const { return root_; }

  // Building blocks of the parser: each copies what it is given into the
  // document's storage.
  JsonValue object(std::span<const JsonValue::Member> members, SourcePosition at) {
    return JsonValue::makeObject({storage_.copy(members.data(), members.size()), members.size()}, at);
  }
  JsonValue array(std::span<const JsonValue> elements, SourcePosition at) {
    return JsonValue::makeArray({storage_.copy(elements.data(), elements.size()), elements.size()}, at);
  }
  // An integer beyond 64 bits, from its decimal digits.
  JsonValue bigInteger(std::string_view digits, SourcePosition at);
  std::string_view key(std::string_view text) { return storage_.copy(text); }
  void setRoot(const JsonValue& root) { root_ = root; }

 private:
  JsonArena storage_;
  std::deque<mpz_class> bigIntegers_;  // a deque keeps their places
  JsonValue root_;
};

}  // namespace rover
