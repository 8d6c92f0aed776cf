#include "map/json_value.h"

#include <utility>

#include "base/failure.h"

namespace rover {

JsonValue JsonValue::makeObject(SourcePosition at) {
  JsonValue value;
  value.content_.emplace<Members>();
  value.position_ = at;
  return value;
}

JsonValue JsonValue::makeArray(SourcePosition at) {
  JsonValue value;
  value.content_.emplace<Elements>();
  value.position_ = at;
  return value;
}

JsonValue JsonValue::makeInt(mpz_class integer, SourcePosition at) {
  JsonValue value;
  value.content_.emplace<mpz_class>(std::move(integer));
  value.position_ = at;
  return value;
}

JsonValue JsonValue::makeReal(double real, SourcePosition at) {
  JsonValue value;
  value.content_.emplace<double>(real);
  value.position_ = at;
  return value;
}

JsonValue JsonValue::makeOther(SourcePosition at) {
  JsonValue value;
  value.position_ = at;
  return value;
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
  if (this != &other) {
    // Free the old content through the flat destructor before taking the new.
    JsonValue old(std::move(*this));
    content_ = std::move(other.content_);
    position_ = other.position_;
  }
  return *this;
}

void JsonValue::detachChildren(Elements& out) {
  if (auto* members = std::get_if<Members>(&content_)) {
    for (Member& member : *members) out.push_back(std::move(member.value));
    members->clear();
  } else if (auto* elements = std::get_if<Elements>(&content_)) {
    for (JsonValue& element : *elements) out.push_back(std::move(element));
    elements->clear();
  }
}

JsonValue::~JsonValue() {
  Kind k = kind();
  if (k != Kind::Object && k != Kind::Array) return;
  // Children are freed from a work list instead of by recursion: a file
  // nested a million levels deep must not exhaust the stack.
  Elements pending;
  detachChildren(pending);
  while (!pending.empty()) {
    JsonValue last = std::move(pending.back());
    pending.pop_back();
    last.detachChildren(pending);
  }
}

const JsonValue& lookupField(const JsonValue::Members& members, std::string_view key,
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
