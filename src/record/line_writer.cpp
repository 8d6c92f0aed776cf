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

namespace {

// Bytes checked together: a plain loop over a fixed count, which the
// compiler turns into vector code.
constexpr std::size_t kBlock = 32;

// Whether any of the block's bytes needs an escape: a control byte, DEL or
// above, a quote or a backslash.
bool blockNeedsEscape(const char* block) {
  unsigned char found = 0;
  for (std::size_t j = 0; j < kBlock; ++j) {
    const auto byte = static_cast<unsigned char>(block[j]);
    found |= static_cast<unsigned char>((byte < 0x20) | (byte >= 0x7f) | (byte == '"') | (byte == '\\'));
  }
  return found != 0;
}

}  // namespace

void FieldWriter::write(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  out_ += '"';
  std::size_t plain = 0;  // where the run of bytes written as they are began
  const auto escapeAt = [&](std::size_t i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x20 && byte < 0x7f && byte != '"' && byte != '\\') return;
    out_.append(bytes.data() + plain, i - plain);
    plain = i + 1;
    if (byte == '"' || byte == '\\') {
      out_ += '\\';
      out_ += bytes[i];
    } else {
      const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xf]};
      out_.append(escape, sizeof escape);
    }
  };
  std::size_t i = 0;
  // A block at a time: messages are long runs of plain bytes.
  for (; i + kBlock <= bytes.size(); i += kBlock) {
    if (!blockNeedsEscape(bytes.data() + i)) continue;
    for (std::size_t j = i; j < i + kBlock; ++j) escapeAt(j);
  }
  for (; i < bytes.size(); ++i) escapeAt(i);
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
  } else if (m.decimals >= 0 && m.decimals <= kMaxFixedDecimals) {
    char text[kFixedTextCapacity];
    out_.append(text, writeFixed(text, m.value, m.decimals));
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
