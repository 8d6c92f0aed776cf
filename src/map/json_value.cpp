#include "map/json_value.h"

#include <memory>
#include <utility>
#include <vector>

#include "base/failure.h"

namespace rover {

JsonValue JsonValue::makeObject(std::span<Member> members, SourcePosition at) {
  JsonValue value;
  value.kind_ = Kind::Object;
  value.position_ = at;
  value.payload_.members = nullptr;
  if (!members.empty()) {
    value.payload_.members = std::allocator<Member>().allocate(members.size());
    std::uninitialized_move(members.begin(), members.end(), value.payload_.members);
    value.count_ = members.size();
  }
  return value;
}

JsonValue JsonValue::makeArray(std::span<JsonValue> elements, SourcePosition at) {
  JsonValue value;
  value.kind_ = Kind::Array;
  value.position_ = at;
  value.payload_.elements = nullptr;
  if (!elements.empty()) {
    value.payload_.elements = std::allocator<JsonValue>().allocate(elements.size());
    std::uninitialized_move(elements.begin(), elements.end(), value.payload_.elements);
    value.count_ = elements.size();
  }
  return value;
}

JsonValue JsonValue::makeInt(const mpz_class& integer, SourcePosition at) {
  if (mpz_fits_slong_p(integer.get_mpz_t())) return makeInt(static_cast<std::int64_t>(integer.get_si()), at);
  JsonValue value;
  value.kind_ = Kind::Int;
  value.position_ = at;
  value.payload_.big = new mpz_class(integer);
  value.bigInteger_ = true;
  return value;
}

JsonValue JsonValue::makeInt(std::int64_t integer, SourcePosition at) {
  JsonValue value;
  value.kind_ = Kind::Int;
  value.position_ = at;
  value.payload_.small = integer;
  return value;
}

JsonValue JsonValue::makeReal(double real, SourcePosition at) {
  JsonValue value;
  value.kind_ = Kind::Real;
  value.position_ = at;
  value.payload_.real = real;
  return value;
}

JsonValue JsonValue::makeOther(SourcePosition at) {
  JsonValue value;
  value.position_ = at;
  return value;
}

mpz_class JsonValue::integer() const {
  static_assert(sizeof(long) == sizeof(std::int64_t), "GMP's long functions take a 64-bit value");
  if (bigInteger_) return *payload_.big;
  return mpz_class(static_cast<long>(payload_.small));
}

void JsonValue::freeOwnArray() noexcept {
  if (kind_ == Kind::Object) {
    std::destroy_n(payload_.members, count_);
    std::allocator<Member>().deallocate(payload_.members, count_);
  } else {
    std::destroy_n(payload_.elements, count_);
    std::allocator<JsonValue>().deallocate(payload_.elements, count_);
  }
  kind_ = Kind::Other;
  count_ = 0;
}

void JsonValue::releaseOwned() noexcept {
  if (bigInteger_) {
    delete payload_.big;
    bigInteger_ = false;
  }
  if (!ownsChildren()) return;
  // Children are freed from a work list instead of by recursion: a file
  // nested a million levels deep must not exhaust the stack. Each container
  // hands its non-empty child containers to the list, after which freeing its
  // own array frees only scalars and empty containers.
  std::vector<JsonValue> pending;
  pending.emplace_back(std::move(*this));
  while (!pending.empty()) {
    JsonValue node = std::move(pending.back());
    pending.pop_back();
    for (std::size_t i = 0; i < node.count_; ++i) {
      JsonValue& child =
          node.kind_ == Kind::Object ? node.payload_.members[i].value : node.payload_.elements[i];
      if (child.ownsChildren()) pending.emplace_back(std::move(child));
    }
    node.freeOwnArray();
  }
}

const JsonValue& lookupField(JsonValue::Members members, std::string_view key,
                             std::optional<SourcePosition> where) {
  for (const JsonValue::Member& member : members) {
    if (member.key == key) return member.value;
  }
  std::string message = "no definition for field \"";
  message += key;
  message += '"';
  raiseFail(std::move(message), where);
}

}  // namespace rover
