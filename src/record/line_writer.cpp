#include "record/line_writer.h"

#include <charconv>
#include <cmath>

#include "base/fixed_point_text.h"

namespace rover {

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
  std::size_t plain = 0;  // where the run of bytes written as they are began
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') continue;
    out_.append(bytes.data() + plain, i - plain);
    plain = i + 1;
    if (byte == '"' || byte == '\\') {
      out_ += '\\';
      out_ += bytes[i];
    } else {
      const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xf]};
      out_.append(escape, sizeof escape);
    }
  }
  out_.append(bytes.data() + plain, bytes.size() - plain);
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
