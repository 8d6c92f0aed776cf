#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "map/json_lexer.h"
#include "map_test_support.h"

namespace rover::testing {
namespace {

std::string describe(const Token& token) {
  switch (token.kind) {
    case TokenKind::LeftBrace:
      return "{";
    case TokenKind::RightBrace:
      return "}";
    case TokenKind::LeftBracket:
      return "[";
    case TokenKind::RightBracket:
      return "]";
    case TokenKind::Comma:
      return ",";
    case TokenKind::Colon:
      return ":";
    case TokenKind::True:
      return "true";
    case TokenKind::False:
      return "false";
    case TokenKind::Null:
      return "null";
    case TokenKind::Integer:
      return "int " + (token.bigInteger ? mpz_class(std::string(token.text)).get_str()
                                        : std::to_string(token.integer));
    case TokenKind::Real: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "real %.17g", token.real);
      return buffer;
    }
    case TokenKind::String:
      return "str " + std::string(token.text);
    case TokenKind::EndOfInput:
      return "end";
  }
  return "?";
}

// Every token of `text` up to and including the end of input, space separated.
std::string tokensOf(const std::string& text) {
  MemoryByteSource source(text);
  JsonLexer lexer(source);
  std::string out;
  for (;;) {
    const Token& token = lexer.peek();
    if (!out.empty()) out += " | ";
    out += describe(token);
    if (token.kind == TokenKind::EndOfInput) return out;
    lexer.consume();
  }
}

struct LexCase {
  const char* input;
  const char* tokens;
};

// Shown by the test runner when a case fails.
std::ostream& operator<<(std::ostream& out, const LexCase& c) {
  return out << ::testing::PrintToString(std::string(c.input));
}

class Tokens : public ::testing::TestWithParam<LexCase> {};

TEST_P(Tokens, LongestMatchWithBackup) {
  EXPECT_EQ(tokensOf(GetParam().input), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(Numbers, Tokens,
                         ::testing::Values(LexCase{"1.", "int 1 | end"},                       //
                                           LexCase{"01", "int 0 | int 1 | end"},               //
                                           LexCase{"1e", "int 1 | end"},                       //
                                           LexCase{"1e+", "int 1 | end"},                      //
                                           LexCase{"-0", "int 0 | end"},                       //
                                           LexCase{"-0.0", "real -0 | end"},                   //
                                           LexCase{"+1", "int 1 | end"},                       //
                                           LexCase{"-x", "end"},                               //
                                           LexCase{"-", "end"},                                //
                                           LexCase{"-12", "int -12 | end"},                    //
                                           LexCase{"1.5", "real 1.5 | end"},                   //
                                           LexCase{"2E3", "real 2000 | end"},                  //
                                           LexCase{"2e-1", "real 0.20000000000000001 | end"},  //
                                           LexCase{"6e4", "real 60000 | end"},                 //
                                           LexCase{"1.e5", "int 1 | int 5 | end"},             //
                                           LexCase{"1.5e", "real 1.5 | end"},                  //
                                           LexCase{"1.5e-x", "real 1.5 | end"},                //
                                           LexCase{"00.5", "int 0 | real 0.5 | end"},          //
                                           LexCase{"1-2", "int 1 | int -2 | end"},             //
                                           LexCase{"123456789012345678901234567890",
                                                   "int 123456789012345678901234567890 | end"},  //
                                           LexCase{"-98765432109876543210",
                                                   "int -98765432109876543210 | end"}));

INSTANTIATE_TEST_SUITE_P(KeywordsAndDrops, Tokens,
                         ::testing::Values(LexCase{"true false null", "true | false | null | end"},  //
                                           LexCase{"nul", "end"},            // cut short: each letter dropped
                                           LexCase{"nul1", "int 1 | end"},   //
                                           LexCase{"ttrue", "true | end"},   //
                                           LexCase{"True", "end"},           // upper case is no keyword
                                           LexCase{"nulll", "null | end"},   //
                                           LexCase{"#.{x}", "{ | } | end"},  //
                                           LexCase{"{}[],:", "{ | } | [ | ] | , | : | end"},  //
                                           LexCase{"\x0b\x0c"
                                                   "1",
                                                   "int 1 | end"},  // VT and FF are dropped, not whitespace
                                           LexCase{" \t\r\n1", "int 1 | end"},  //
                                           LexCase{"//1", "int 1 | end"},       // no line comments
                                           LexCase{"\xc3\xa9"
                                                   "1",
                                                   "int 1 | end"}));

INSTANTIATE_TEST_SUITE_P(Comments, Tokens,
                         ::testing::Values(LexCase{"/* a */1", "int 1 | end"},  //
                                           LexCase{"/**/1", "int 1 | end"},     //
                                           LexCase{"/*/1", "int 1 | end"},      // unterminated
                                           LexCase{"/* 1 */ 2 /* 3 */",
                                                   "int 2 | end"},                     // ends at the first */
                                           LexCase{"/* /* 1 */ 2 */", "int 2 | end"},  // no nesting
                                           LexCase{"/* 1", "int 1 | end"},             // unterminated
                                           LexCase{"/*1*/*/2", "int 2 | end"},         //
                                           LexCase{"1/*2", "int 1 | int 2 | end"},     //
                                           LexCase{"\"/*\"1*/2", "str /* | int 1 | int 2 | end"}));

INSTANTIATE_TEST_SUITE_P(Strings, Tokens,
                         ::testing::Values(LexCase{R"("a\"b")", "str a\"b | end"},              //
                                           LexCase{R"("\\\/")", "str \\/ | end"},               //
                                           LexCase{R"("\b\f\n\r\t")", "str \b\f\n\r\t | end"},  //
                                           LexCase{R"("\u00e9")", "str \xc3\xa9 | end"},        //
                                           LexCase{R"("\u00E9")", "str \xc3\xa9 | end"},        //
                                           LexCase{R"("\u0041\u007f")", "str A\x7f | end"},     //
                                           LexCase{R"("\u0080")", "str \xc2\x80 | end"},        //
                                           LexCase{R"("\u07ff")", "str \xdf\xbf | end"},        //
                                           LexCase{R"("\u0800")", "str \xe0\xa0\x80 | end"},    //
                                           LexCase{R"("\ud83d")",
                                                   "str \xed\xa0\xbd | end"},  // surrogates kept
                                           LexCase{R"("\u12345")",
                                                   "str \xe1\x88\xb4"
                                                   "5 | end"},                             //
                                           LexCase{"\"a\tb\nc\"", "str a\tb\nc | end"},    //
                                           LexCase{"\"\xc3\xa9\"", "str \xc3\xa9 | end"},  //
                                           LexCase{"\"\xc1\xb3\"", "str s | end"},         // overlong 's'
                                           LexCase{"\"abc", "end"},                        // unfinished
                                           LexCase{"1 \"abc", "int 1 | end"}));

class StuckStrings : public ::testing::TestWithParam<const char*> {};

TEST_P(StuckStrings, Fail) {
  EXPECT_EQ(outcomeOf([&] { tokensOf(GetParam()); }), "Fail: lexer reached a stuck state");
}

INSTANTIATE_TEST_SUITE_P(Table, StuckStrings,
                         ::testing::Values(R"("\q")", R"("\u12")", R"("\u12g4")", R"("\U0041")", "\"\\",
                                           "\"\\u00", R"("\x")", R"("\ ")"));

struct Utf8Case {
  const char* input;
  const char* outcome;
};

// Shown by the test runner when a case fails.
std::ostream& operator<<(std::ostream& out, const Utf8Case& c) {
  return out << ::testing::PrintToString(std::string(c.input));
}

class Utf8Decoding : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Decoding, Outcome) {
  EXPECT_EQ(outcomeOf([&] { tokensOf(GetParam().input); }), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8Decoding,
                         ::testing::Values(Utf8Case{"\x80", "Incomplete"},  //
                                           Utf8Case{"\xbf", "Incomplete"},  //
                                           Utf8Case{"\xc3", "Incomplete"},  // end inside
                                           Utf8Case{"\xc3"
                                                    "a",
                                                    "Incomplete"},              //
                                           Utf8Case{"\xe2\x82", "Incomplete"},  //
                                           Utf8Case{"\xe2\x82\xac", "ok"},      //
                                           Utf8Case{"\xf0\x9f\x98\x80",
                                                    "Incomplete"},          // read as 3 + stray byte
                                           Utf8Case{"\xff\x80\x80", "ok"},  //
                                           Utf8Case{"\xc0\x80", "ok"},      // overlong allowed
                                           Utf8Case{"1 2 \x80", "Incomplete"}));

TEST(Lexer, StringContentDecodesMultiByteCharacters) {
  // The value of "\xe2\x82\xac" is U+20AC; stored again as the same three bytes.
  EXPECT_EQ(tokensOf("\"\xe2\x82\xac\""), "str \xe2\x82\xac | end");
  // 0xFF 0xBF 0xBF has the value 0xFFFF (low 4 bits of the first byte).
  EXPECT_EQ(tokensOf("\"\xff\xbf\xbf\""), "str \xef\xbf\xbf | end");
}

TEST(Lexer, TokenPositionsCountLinesAndCharacters) {
  MemoryByteSource source("{\n  \xc3\xa9 \"k\"\n/* c\n */ 7");
  JsonLexer lexer(source);
  std::vector<std::pair<unsigned, unsigned>> starts;
  for (;;) {
    const Token& token = lexer.peek();
    starts.emplace_back(token.start.line, token.start.column);
    if (token.kind == TokenKind::EndOfInput) break;
    lexer.consume();
  }
  std::vector<std::pair<unsigned, unsigned>> expected{{1, 1}, {2, 5}, {4, 5}, {4, 6}};
  EXPECT_EQ(starts, expected);
}

TEST(Lexer, PeekedTokenIsRememberedUntilConsumed) {
  MemoryByteSource source("7 8");
  JsonLexer lexer(source);
  EXPECT_EQ(lexer.peek().integer, 7);
  EXPECT_EQ(lexer.peek().integer, 7);
  lexer.consume();
  EXPECT_EQ(lexer.peek().integer, 8);
}

}  // namespace
}  // namespace rover::testing
