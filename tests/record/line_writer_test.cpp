// The record writer's string escape against a byte-by-byte oracle, on
// random byte strings of every length around the 32-byte blocks it scans,
// with every byte value in every place of a block.

#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "record/line_writer.h"
#include "record/record_lines.h"

namespace rover {
namespace {

std::string oracleEscape(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7f) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string msgLine(const std::string& text) {
  std::string out;
  appendRecordLine(out, MsgLineOf<std::string_view>{{{2, TimeValue::fromMillis(300)}}, text});
  return out;
}

TEST(RecordStrings, EscapedAsTheOracleDoes) {
  const std::string empty = msgLine("");
  const std::size_t at = empty.find("\"\"");
  ASSERT_NE(at, std::string::npos);
  const auto expected = [&](const std::string& text) {
    return empty.substr(0, at) + oracleEscape(text) + empty.substr(at + 2);
  };
  // Every byte value at every place of a block, among plain bytes.
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t place = 0; place < 65; ++place) {
      std::string text(65, 'm');
      text[place] = static_cast<char>(byte);
      ASSERT_EQ(msgLine(text), expected(text)) << byte << " at " << place;
    }
  }
  // Random strings, mostly plain, of every length up to a few blocks.
  std::mt19937_64 g(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text(g() % 100, ' ');
    const bool wild = g() % 4 == 0;
    for (char& c : text) c = static_cast<char>(wild || g() % 16 == 0 ? g() % 256 : 0x20 + g() % 95);
    ASSERT_EQ(msgLine(text), expected(text)) << round;
  }
}

}  // namespace
}  // namespace rover
