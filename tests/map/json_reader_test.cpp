// The JSON reader against the character-by-character reference
// (reference_reader.h), on generated inputs full of the reader's quirks: both
// must give the same tokens at the same places, the same values, and the same
// failures at the same places, however the input arrives in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "map/json_lexer.h"
#include "map/json_parser.h"
#include "map/number_conversion.h"
#include "reference_reader.h"

namespace rover::testing {
namespace {

// Gives its bytes in pieces of random size, as a pipe would, so the ends of
// the buffered bytes fall everywhere: inside numbers, keywords, strings,
// escapes and multi-byte characters.
class PieceByteSource : public ByteSource {
 public:
  PieceByteSource(std::string_view bytes, unsigned seed) : bytes_(bytes), random_(seed) {}
  std::size_t read(unsigned char* buffer, std::size_t capacity) override {
    std::size_t piece = 1 + random_() % 23;
    std::size_t count = std::min({capacity, piece, bytes_.size() - offset_});
    std::memcpy(buffer, bytes_.data() + offset_, count);
    offset_ += count;
    return count;
  }

 private:
  std::string_view bytes_;
  std::size_t offset_ = 0;
  std::mt19937 random_;
};

std::string describe(const Token& token) {
  std::string integer;
  if (token.kind == TokenKind::Integer) {
    integer = token.bigInteger ? mpz_class(std::string(token.text)).get_str() : std::to_string(token.integer);
  }
  return describeToken(token.start, static_cast<int>(token.kind), integer, token.real, token.text);
}

// Every token up to the end of the input or the first failure.
std::string tokensOf(ByteSource& source) {
  std::string out;
  try {
    JsonLexer lexer(source);
    for (;;) {
      const Token& token = lexer.peek();
      out += describe(token);
      if (token.kind == TokenKind::EndOfInput) return out;
      lexer.consume();
    }
  } catch (const Failure& failure) {
    return out + failureText(failure);
  }
}

// As referenceValue describes it.
void describe(const JsonValue& value, std::string& out) {
  out += place(value.position());
  switch (value.kind()) {
    case JsonValue::Kind::Other:
      out += "_";
      return;
    case JsonValue::Kind::Int:
      out += value.integer().get_str();
      return;
    case JsonValue::Kind::Real:
      out += 'r';
      out += realBits(value.real());
      return;
    case JsonValue::Kind::Array:
      out += "[";
      for (const JsonValue& element : value.elements()) {
        describe(element, out);
        out += ",";
      }
      out += "]";
      return;
    case JsonValue::Kind::Object:
      out += "{";
      for (const JsonValue::Member& member : value.members()) {
        out += member.key;
        out += "=";
        describe(member.value, out);
        out += ",";
      }
      out += "}";
      return;
  }
}

std::string valueOf(ByteSource& source) {
  try {
    std::string out;
    describe(parseJson(source).root(), out);
    return out;
  } catch (const Failure& failure) {
    return failureText(failure);
  }
}

// Inputs made of the pieces the reader treats specially.
class QuirkyInputs {
 public:
  explicit QuirkyInputs(unsigned seed) : random_(seed) {}

  // Pieces in random order: most inputs fail somewhere, each in its own way.
  std::string soup() {
    std::string out;
    for (int n = pick(60); n > 0; --n) out += piece();
    return out;
  }

  // A well-formed value with a few pieces inserted, removed or replaced, so
  // the parse goes deep before anything unusual happens.
  std::string damagedValue() {
    std::string out;
    value(out, 0);
    for (int n = pick(4); n > 0; --n) {
      std::size_t at = out.empty() ? 0 : random_() % out.size();
      switch (pick(3)) {
        case 0:
          out.insert(at, piece());
          break;
        case 1:
          out.erase(at, pick(4));
          break;
        default:
          out.replace(at, pick(3), piece());
          break;
      }
    }
    return out;
  }

  // Well-formed values, repeated past several 4096-byte blocks.
  std::string longValue() {
    std::string out = "[";
    while (out.size() < 9000) {
      value(out, 1);
      out += pick(8) == 0 ? " /* note */ ,\n" : ",\n  ";
    }
    out += pick(2) ? "0]" : "0] \x80";
    if (pick(4) == 0) out.insert(random_() % out.size(), piece());
    return out;
  }

  // Number texts of the JSON grammar, ordinary and extreme.
  std::string numberText() {
    std::string out = pick(2) ? "-" : "";
    switch (pick(6)) {
      case 0:
        out += digits(1 + pick(25), false);
        break;
      case 1:
        out += pick(2) ? "9223372036854775807" : "9223372036854775808";
        break;
      default:
        out += pick(3) ? digits(1 + pick(4), false) : "0";
        if (pick(4)) {
          out += '.';
          out += digits(1 + pick(18), true);
        }
        if (pick(2)) {
          out += pick(2) ? "e" : "E";
          if (pick(2)) out += pick(2) ? "+" : "-";
          out += pick(4) ? std::to_string(pick(330)) : digits(1 + pick(5), true);
        }
        break;
    }
    return out;
  }

  unsigned pick(unsigned count) { return random_() % count; }

 private:
  std::string digits(unsigned count, bool leadingZeroAllowed) {
    std::string out;
    for (unsigned i = 0; i < count; ++i) {
      char first = leadingZeroAllowed || i > 0 ? '0' : '1';
      out += static_cast<char>(first + pick(first == '0' ? 10 : 9));
    }
    return out;
  }

  std::string stringText() {
    static const char* const kContent[] = {
        "a",    "key", "size", " ",    "\\\"",     "\\\\",         "\\/",      "\\b",
        "\\f",  "\\n", "\\r",  "\\t",  "\\u00e9",  "\\u0041",      "\\uD83D",  "\\u12",
        "\\q",  "\\",  "\t",   "\n",   "\xc3\xa9", "\xe2\x82\xac", "\xc0\x80", "\x80",
        "\xc3", "/*",  "*/",   "\x01", "\\u00G1",  "x y z"};
    std::string out = "\"";
    for (int n = pick(6); n > 0; --n) out += kContent[pick(std::size(kContent))];
    if (pick(8)) out += "\"";
    return out;
  }

  std::string piece() {
    static const char* const kPieces[] = {"{",
                                          "}",
                                          "[",
                                          "]",
                                          ",",
                                          ":",
                                          " ",
                                          "\t",
                                          "\r",
                                          "\n",
                                          "  \n",
                                          "true",
                                          "false",
                                          "null",
                                          "tru",
                                          "fals",
                                          "nul",
                                          "t",
                                          "nulll",
                                          "/*",
                                          "*/",
                                          "/* c */",
                                          "/",
                                          "*",
                                          "#",
                                          "x",
                                          "+",
                                          ".",
                                          "-",
                                          "e",
                                          "E",
                                          "\x0b",
                                          "\xc3\xa9",
                                          "\xe2\x82\xac",
                                          "\xc0\x80",
                                          "\x80",
                                          "\xbf",
                                          "\xc3",
                                          "\xe2\x82",
                                          "\xf0\x9f\x98\x80",
                                          "\xff\x80\x80",
                                          "\xc3"
                                          "a"};
    switch (pick(4)) {
      case 0:
        return numberText();
      case 1:
        return stringText();
      default:
        return kPieces[pick(std::size(kPieces))];
    }
  }

  void value(std::string& out, int depth) {
    switch (depth > 3 ? pick(3) : pick(6)) {
      case 0:
        out += numberText();
        return;
      case 1:
        out += stringText();
        return;
      case 2:
        out += pick(3) == 0 ? "true" : pick(2) ? "null" : "false";
        return;
      case 3:
      case 4: {
        out += "{";
        for (int n = pick(5); n > 0; --n) {
          out += stringText() + (pick(2) ? ": " : ":");
          value(out, depth + 1);
          if (n > 1) out += pick(2) ? ", " : ",\n";
        }
        out += "}";
        return;
      }
      default:
        out += "[";
        for (int n = pick(5); n > 0; --n) {
          value(out, depth + 1);
          if (n > 1) out += pick(2) ? "," : " , ";
        }
        out += "]";
        return;
    }
  }

  std::mt19937 random_;
};

// The reader against the character-by-character reference, on the input
// whole and in random pieces.
void expectSameAsReference(const std::string& input, unsigned seed) {
  SCOPED_TRACE(::testing::PrintToString(input));
  MemoryByteSource whole(input);
  std::string expected = referenceTokens(whole);
  MemoryByteSource wholeAgain(input);
  PieceByteSource pieces(input, seed);
  ASSERT_EQ(tokensOf(wholeAgain), expected);
  ASSERT_EQ(tokensOf(pieces), expected);

  MemoryByteSource parseWhole(input);
  expected = referenceValue(parseWhole);
  MemoryByteSource parseWholeAgain(input);
  PieceByteSource parsePieces(input, seed + 1);
  ASSERT_EQ(valueOf(parseWholeAgain), expected);
  ASSERT_EQ(valueOf(parsePieces), expected);
}

TEST(JsonReader, MatchesTheCharacterByCharacterReference) {
  QuirkyInputs inputs(1414);
  for (unsigned i = 0; i < 12'000; ++i) {
    expectSameAsReference(inputs.soup(), i);
    expectSameAsReference(inputs.damagedValue(), i);
    if (::testing::Test::HasFatalFailure()) return;
  }
  for (unsigned i = 0; i < 60; ++i) {
    expectSameAsReference(inputs.longValue(), i);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// The kept fuzz inputs and hostile files.
TEST(JsonReader, KeptRegressionInputsMatchTheReference) {
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ROVER_MAP_REGRESSIONS)) {
    if (entry.path().extension() != ".json") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    expectSameAsReference(bytes.str(), static_cast<unsigned>(replayed));
    ++replayed;
  }
  EXPECT_GT(replayed, 0u);
}

// std::from_chars against strtod_l, bit for bit, on number texts of every
// kind (long digit strings, ties, subnormals, overflow, underflow); and
// 64-bit integers converted by the machine against the exact conversion.
TEST(JsonReader, RealsAndIntegersConvertLikeTheReference) {
  QuirkyInputs inputs(2718);
  for (int i = 0; i < 100'000; ++i) {
    std::string text = inputs.numberText();
    double fast = parseRealText(text);
    double reference = parseRealTextWithStrtod(text);
    ASSERT_EQ(realBits(fast), realBits(reference)) << text;
  }
  std::mt19937_64 random(31);
  for (int i = 0; i < 100'000; ++i) {
    auto value = static_cast<std::int64_t>(random() >> (random() % 64));
    if (i % 2) value = -value;
    ASSERT_EQ(realBits(static_cast<double>(value)),
              realBits(nearestDouble(mpz_class(static_cast<long>(value)))))
        << value;
  }
}

}  // namespace
}  // namespace rover::testing
