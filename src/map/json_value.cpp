#include "map/json_value.h"

#include <string>

#include "base/failure.h"

namespace rover {

JsonValue JsonValue::makeObject(Members members, SourcePosition at) {
  JsonValue value(Kind::Object, at);
  value.payload_.members = members.data();
  value.count_ = static_cast<std::uint32_t>(members.size());
  return value;
}

JsonValue JsonValue::makeArray(Elements elements, SourcePosition at) {
  JsonValue value(Kind::Array, at);
  value.payload_.elements = elements.data();
  value.count_ = static_cast<std::uint32_t>(elements.size());
  return value;
}

JsonValue JsonValue::makeInt(const mpz_class* big, SourcePosition at) {
  JsonValue value(Kind::Int, at);
  value.payload_.big = big;
  value.bigInteger_ = true;
  return value;
}

mpz_class JsonValue::integer() const {
  static_assert(sizeof(long) == sizeof(std::int64_t), "GMP's long functions take a 64-bit value");
  if (bigInteger_) return *payload_.big;
  return mpz_class(static_cast<long>(payload_.small));
}

const JsonValue& lookupField(JsonValue::Members members, std::string_view key,
                             std::optional<SourcePosition> where) {
  // Keys are short: compared in place rather than by a call per member.
  for (const JsonValue::Member& member : members) {
    if (member.key.size() != key.size()) continue;
    std::size_t i = 0;
    while (i < key.size() && member.key[i] == key[i]) ++i;
    if (i == key.size()) return member.value;
  }
  std::string message = "no definition for field \"";
  message += key;
  message += '"';
  raiseFail(std::move(message), where);
}

}  // namespace rover
