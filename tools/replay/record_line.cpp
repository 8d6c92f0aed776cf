#include "record_line.h"

#include <cstdlib>
#include <limits>

#include "base/failure.h"

namespace rover::replay {

namespace {

bool isIntegerText(const std::string& text) {
  std::size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

}  // namespace

RecordLine::RecordLine(const std::string& text, std::size_t number) : number_(number) {
  document_.Parse<rapidjson::kParseNumbersAsStringsFlag>(text.c_str(), text.size());
  if (document_.HasParseError()) {
    fail(std::string("not JSON (") + rapidjson::GetParseError_En(document_.GetParseError()) + " at column " +
         std::to_string(document_.GetErrorOffset() + 1) + ")");
  }
  if (!document_.IsObject()) fail("not a JSON object");
  type_ = string("type");
}

void RecordLine::fail(const std::string& what) const {
  throw Failure(FailureKind::Fail).at({static_cast<std::uint32_t>(number_), 0}).because(what);
}

bool RecordLine::has(const char* member) const {
  return document_.HasMember(member);
}

const rapidjson::Value& RecordLine::value(const char* member) const {
  const auto found = document_.FindMember(member);
  if (found == document_.MemberEnd()) fail(std::string("no \"") + member + "\"");
  return found->value;
}

bool RecordLine::isNull(const char* member) const {
  return value(member).IsNull();
}

std::string RecordLine::stringOf(const rapidjson::Value& value, const char* what) const {
  if (!value.IsString()) fail(std::string("\"") + what + "\" is not a string");
  // Latin-1: each character U+0000..U+00FF stands for one byte.
  const std::string utf8(value.GetString(), value.GetStringLength());
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size() && c <= 0xC3) {
      bytes += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      fail(std::string("\"") + what + "\" holds a character beyond U+00FF");
    }
  }
  return bytes;
}

std::string RecordLine::string(const char* member) const {
  return stringOf(value(member), member);
}

mpz_class RecordLine::integerOf(const rapidjson::Value& value, const char* what) const {
  // With numbers kept as text, a number reads as a string; a real string
  // value would have been written in quotes, which the document tells apart
  // only by content, so the text is checked as an integer.
  if (!value.IsString() || !isIntegerText(value.GetString())) {
    fail(std::string("\"") + what + "\" is not an integer");
  }
  return mpz_class(value.GetString(), 10);
}

mpz_class RecordLine::integer(const char* member) const {
  return integerOf(value(member), member);
}

std::int64_t RecordLine::smallInteger(const char* member) const {
  const mpz_class n = integer(member);
  if (!n.fits_slong_p()) fail(std::string("\"") + member + "\" is out of range");
  return n.get_si();
}

double RecordLine::realOf(const rapidjson::Value& value, const char* what) const {
  if (!value.IsString()) fail(std::string("\"") + what + "\" is not a number");
  const std::string text = value.GetString();
  if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
  if (text == "inf") return std::numeric_limits<double>::infinity();
  if (text == "-inf") return -std::numeric_limits<double>::infinity();
  char* end = nullptr;
  const double x = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0') fail(std::string("\"") + what + "\" is not a number");
  return x;
}

double RecordLine::real(const char* member) const {
  return realOf(value(member), member);
}

}  // namespace rover::replay
