#pragma once

#include <gmpxx.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/time_value.h"
#include "record/record_lines.h"

namespace rover {

// Writes the members a record line lists (record/record_lines.h) as JSON,
// appending to one string: nothing else is allocated for ordinary values.
// Reals are the shortest text that reads back, or the wire's; non-finite
// ones the strings "nan", "inf", "-inf". Integers are exact at any size.
// Strings hold bytes: U+0000..U+00FF stand for them (Latin-1).
// Compact for record lines; spaced (", ", ": ") within the results
// document, whose top level puts each member on a line (Document).
class FieldWriter {
 public:
  enum class Spacing { Compact, Spaced, Document };
  // `first`: no separator before the first member (a fresh object).
  FieldWriter(std::string& out, Spacing spacing, bool first) : out_(out), spacing_(spacing), first_(first) {}

  template <class... Members>
  void operator()(const Members&... members) {
    (put(members), ...);
  }

 private:
  template <class T>
  void put(const Field<T>& m) {
    key(m.name);
    write(m.value);
  }
  template <class T>
  void put(const Optional<T>& m) {
    if (m.value) put(Field<const T>{m.name, *m.value});
  }
  void put(const Real& m);
  template <class E, std::size_t N>
  void put(const Choice<E, N>& m) {
    key(m.name);
    write(std::string_view(m.names[static_cast<std::size_t>(m.value)]));
  }
  void put(const OutcomeOf& m);
  template <class... Members>
  void put(const Object<Members...>& m) {
    key(m.name);
    out_ += '{';
    std::apply(inner(), m.members);
    out_ += '}';
  }

  // The separator and the name before a member, in appends of known sizes:
  // this is the writer's busiest path.
  void key(std::string_view name) {
    if (!first_) {
      if (spacing_ == Spacing::Compact) {
        out_ += ',';
      } else {
        out_.append(spacing_ == Spacing::Spaced ? ", " : ",\n  ");
      }
    } else if (spacing_ == Spacing::Document) {
      out_.append("\n  ");
    }
    first_ = false;
    if (!named_) return;
    out_ += '"';
    out_.append(name.data(), name.size());
    out_.append(spacing_ == Spacing::Compact ? std::string_view("\":") : std::string_view("\": "));
  }
  // A writer for a nested object or array: spaced within the document.
  FieldWriter inner() { return {out_, spacing_ == Spacing::Compact ? spacing_ : Spacing::Spaced, true}; }
  void write(bool value) { out_ += value ? "true" : "false"; }
  void write(const mpz_class& value);
  void write(const TimeValue& value);  // whole milliseconds
  void write(std::string_view bytes);
  template <class T>
  void write(const T& value) {
    if constexpr (std::is_integral_v<T>) {
      char text[24];
      out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
    } else {
      // A struct with fields(): an object, or a tuple. The walk only reads it.
      constexpr bool tuple = requires {
        T::kTuple;
      };
      out_ += tuple ? '[' : '{';
      FieldWriter members = inner();
      members.named_ = !tuple;
      const_cast<T&>(value).fields(members);
      out_ += tuple ? ']' : '}';
    }
  }
  void write(const std::string& value) { write(std::string_view(value)); }
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
    if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
      // Numbers and separators gathered in a block, appended a block at a
      // time: a sense line lists every object in view.
      const std::string_view separator = spacing_ == Spacing::Compact ? "," : ", ";
      char block[1024];
      std::size_t used = 0;
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (used > sizeof block - 32) {
          out_.append(block, used);
          used = 0;
        }
        if (i > 0) {
          std::copy(separator.begin(), separator.end(), block + used);
          used += separator.size();
        }
        used = static_cast<std::size_t>(std::to_chars(block + used, block + sizeof block, values[i]).ptr -
                                        block);
      }
      out_.append(block, used);
    } else {
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out_ += spacing_ == Spacing::Compact ? "," : ", ";
        write(values[i]);
      }
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
  const_cast<Line&>(line).fields(fields);  // the walk only reads the line
  out += "}\n";
}

}  // namespace rover
