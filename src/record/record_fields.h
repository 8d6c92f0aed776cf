#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "sim/world_step.h"

namespace rover {

// The members a record line lists, in order: each names its JSON member and
// refers to where its value lives. A line's fields(f) hands them to a writer
// or a reader as f(member, member, ...).

// A value: an integer (mpz_class too), a time (whole milliseconds), bool,
// std::string (Latin-1 bytes), std::optional<T> (null when empty),
// std::vector<T> (an array) or a struct with fields(): an object, or an
// array of its members' values when the struct says kTuple.
template <class T>
struct Field {
  const char* name;
  T& value;
};
// Left out when empty.
template <class T>
struct Optional {
  const char* name;
  std::optional<T>& value;
};
inline constexpr int kShortest = -1;
// A real with this many decimals, as the wire writes it, or kShortest: the
// shortest text that reads back to the same double. Non-finite: "nan", "inf", "-inf".
struct Real {
  const char* name;
  double& value;
  int decimals;
};
// An enumeration written as one of its names.
template <class E, std::size_t N>
struct Choice {
  const char* name;
  E& value;
  const std::array<const char*, N>& names;
};
// "outcome": its text, then "code": its number.
struct OutcomeOf {
  Outcome& value;
};
// A nested object of the given members.
template <class... Members>
struct Object {
  Object(const char* objectName, Members... list) : name(objectName), members(list...) {}
  const char* name;
  std::tuple<Members...> members;
};

}  // namespace rover
