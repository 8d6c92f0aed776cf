#include "base/line_escape.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace rover {
namespace {

// The inverse, for the property below: a reader of the escaped lines.
std::string unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    const char code = text.at(++i);
    if (code == 'x') {
      bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      bytes += code == 'n' ? '\n' : code == 't' ? '\t' : code == 'r' ? '\r' : code;
    }
  }
  return bytes;
}

TEST(EscapeLine, NamedEscapesAndHex) {
  EXPECT_EQ(escapeLine("illegal command \"\na\""), "illegal command \"\\na\"");
  EXPECT_EQ(escapeLine("a\\b\t\r\x7f\x01\xc3\xa9 ~"), "a\\\\b\\t\\r\\x7f\\x01\\xc3\\xa9 ~");
  EXPECT_EQ(escapeLine(std::string("\0", 1)), "\\x00");
}

// Whatever the bytes, the text is printable ASCII (so one line) and reads
// back to exactly those bytes.
TEST(EscapeLine, AnyBytesGiveOnePrintableLineThatReadsBack) {
  std::mt19937 random(20);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 500; ++round) {
    std::string bytes(static_cast<std::size_t>(round % 40), '\0');
    for (char& c : bytes) c = static_cast<char>(byte(random));
    const std::string text = escapeLine(bytes);
    for (const char c : text) ASSERT_TRUE(c >= 0x20 && c <= 0x7e) << text;
    ASSERT_EQ(unescape(text), bytes) << text;
  }
}

}  // namespace
}  // namespace rover
