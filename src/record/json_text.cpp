#include "record/json_text.h"

#include <charconv>
#include <cmath>

#include "base/fixed_point_text.h"

namespace rover {

namespace {

// Non-finite values have no JSON number: they are written as strings.
bool appendNonFinite(std::string& out, double x) {
  if (std::isnan(x)) {
    out += "\"nan\"";
  } else if (std::isinf(x)) {
    out += x < 0 ? "\"-inf\"" : "\"inf\"";
  } else {
    return false;
  }
  return true;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 0x20 && byte < 0x7f) {
      out += c;
    } else {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    }
  }
  out += '"';
}

void appendJsonReal(std::string& out, double x) {
  if (appendNonFinite(out, x)) return;
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, x);
  out.append(text, result.ptr);
}

void appendWireReal(std::string& out, double x, int decimals) {
  if (appendNonFinite(out, x)) return;
  out += formatReal(x, decimals);
}

void appendJsonInteger(std::string& out, const mpz_class& value) {
  out += value.get_str(10);
}

}  // namespace rover
