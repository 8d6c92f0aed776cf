#include "record/line_writer.h"

#include <charconv>
#include <cmath>

#include "base/fixed_point_text.h"

namespace rover {

void FieldWriter::key(const char* name) {
  static constexpr const char* kSeparators[] = {",", ", ", ",\n  "};
  out_ += first_ ? (spacing_ == Spacing::Document ? "\n  " : "") : kSeparators[static_cast<int>(spacing_)];
  first_ = false;
  if (!named_) return;
  out_ += '"';
  out_ += name;
  out_ += spacing_ == Spacing::Compact ? "\":" : "\": ";
}

void FieldWriter::write(const mpz_class& value) {
  out_ += value.get_str(10);
}

void FieldWriter::write(const TimeValue& value) {
  if (const std::optional<std::int64_t> nanos = value.nanos64()) {
    write(std::int64_t{*nanos / 1000000});  // truncated toward zero, as millisText does
  } else {
    out_ += value.millisText();
  }
}

void FieldWriter::write(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  out_ += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') out_ += '\\';
    if (byte >= 0x20 && byte < 0x7f) {
      out_ += c;
    } else {
      out_ += "\\u00";
      out_ += kHex[byte >> 4];
      out_ += kHex[byte & 0xf];
    }
  }
  out_ += '"';
}

void FieldWriter::put(const Real& m) {
  key(m.name);
  if (std::isnan(m.value) || std::isinf(m.value)) {
    // No JSON number stands for these.
    write(std::string_view(std::isnan(m.value) ? "nan" : (m.value < 0 ? "-inf" : "inf")));
  } else if (m.decimals == kShortest) {
    char text[32];
    out_.append(text, std::to_chars(text, text + sizeof text, m.value).ptr);
  } else {
    out_ += formatReal(m.value, m.decimals);
  }
}

void FieldWriter::put(const OutcomeOf& m) {
  key("outcome");
  write(std::string_view(outcomeText(m.value)));
  const int code = static_cast<int>(m.value);
  put(Field<const int>{"code", code});
}

}  // namespace rover
