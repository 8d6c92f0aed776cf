#pragma once

#include <gmpxx.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/time_value.h"
#include "record/json_text.h"
#include "record/record_lines.h"

namespace rover {

// Writes the fields a record line lists (record/record_lines.h) as JSON,
// appending to one string: nothing else is allocated for ordinary values.
// Compact for record lines; spaced (", ", ": ") for the results document.
class FieldWriter {
 public:
  enum class Spacing { Compact, Spaced };
  // `first`: no separator before the first member (a fresh object).
  FieldWriter(std::string& out, Spacing spacing, bool first) : out_(out), spacing_(spacing), first_(first) {}

  template <class T>
  void field(const char* name, const T& value) {
    key(name);
    write(value);
  }
  template <class T>
  void optional(const char* name, const std::optional<T>& value) {
    if (value) field(name, *value);
  }
  void real(const char* name, double x, int decimals);
  template <class E, std::size_t N>
  void choice(const char* name, E value, const std::array<const char*, N>& names) {
    key(name);
    out_ += '"';
    out_ += names[static_cast<std::size_t>(value)];
    out_ += '"';
  }
  void hex(const char* name, std::uint64_t value);
  void stamp(int run, const TimeValue& t);
  void stamp(int run, const mpz_class& millis);
  void outcome(Outcome outcome);
  template <class T>
  void tuples(const char* name, const std::vector<T>& entries) {
    key(name);
    out_ += '[';
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i > 0) out_ += ',';
      out_ += '[';
      FieldWriter inner(out_, spacing_, true);
      inner.named_ = false;
      const_cast<T&>(entries[i]).fields(inner);
      out_ += ']';
    }
    out_ += ']';
  }
  template <class Fields>
  void object(const char* name, const Fields& fields) {
    key(name);
    objectValue(fields);
  }

 private:
  void key(const char* name);
  template <class Fields>
  void objectValue(const Fields& fields) {
    out_ += '{';
    FieldWriter inner(out_, spacing_, true);
    fields(inner);
    out_ += '}';
  }
  void write(bool value) { out_ += value ? "true" : "false"; }
  void write(const mpz_class& value) { appendJsonInteger(out_, value); }
  void write(const std::string& value) { appendJsonString(out_, value); }
  void write(std::int64_t value);
  void write(std::uint64_t value);
  template <class T>
  void write(const T& value) {
    if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
      write(static_cast<std::int64_t>(value));
    } else if constexpr (std::is_integral_v<T>) {
      write(static_cast<std::uint64_t>(value));
    } else {
      // A struct with fields(): an object. The walk only reads.
      objectValue([&](FieldWriter& inner) { const_cast<T&>(value).fields(inner); });
    }
  }
  template <class T>
  void write(const std::optional<T>& value) {
    if (value) {
      write(*value);
    } else {
      out_ += "null";
    }
  }
  template <class T>
  void write(const std::vector<T>& values) {
    out_ += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i > 0) out_ += ',';
      write(values[i]);
    }
    out_ += ']';
  }

  std::string& out_;
  Spacing spacing_;
  bool first_;
  bool named_ = true;  // false inside a tuple: values only
};

// Appends one record line, "\n" included.
template <class Line>
void appendRecordLine(std::string& out, const Line& line) {
  out += "{\"type\":\"";
  out += Line::kType;
  out += '"';
  FieldWriter fields(out, FieldWriter::Spacing::Compact, false);
  const_cast<Line&>(line).fields(fields);
  out += "}\n";
}

}  // namespace rover
