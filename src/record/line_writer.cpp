#include "record/line_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

bool hasZeroByte(std::uint64_t w) {
  return ((w - kOnes) & ~w & kHighs) != 0;
}

// Whether any of the eight bytes needs an escape: a control byte, DEL or
// above, a quote or a backslash. Exact, so a block without one is copied as
// it is (the bit tricks hold for every byte value).
bool needsEscape(std::uint64_t w) {
  const bool below20 = ((w - kOnes * 0x20) & ~w & kHighs) != 0;
  const bool above7e = (((w + kOnes * (0x7f - 0x7e)) | w) & kHighs) != 0;
  return below20 || above7e || hasZeroByte(w ^ (kOnes * '"')) || hasZeroByte(w ^ (kOnes * '\\'));
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
  // Eight bytes at a time: messages are long runs of plain bytes.
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if (!needsEscape(word)) continue;
    for (std::size_t j = i; j < i + 8; ++j) escapeAt(j);
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
