#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "map/json_parser.h"
#include "map_test_support.h"

namespace rover::testing {
namespace {

// A compact picture of a parsed value: {k=v,...}, [a,...], integers as
// digits, reals with a trailing "r", anything else as "_".
std::string shape(const JsonValue& value) {
  switch (value.kind()) {
    case JsonValue::Kind::Other:
      return "_";
    case JsonValue::Kind::Int:
      return value.integer().get_str();
    case JsonValue::Kind::Real: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%gr", value.real());
      return buffer;
    }
    case JsonValue::Kind::Array: {
      std::string out = "[";
      for (const JsonValue& element : value.elements()) {
        if (out.size() > 1) out += ",";
        out += shape(element);
      }
      return out + "]";
    }
    case JsonValue::Kind::Object: {
      std::string out = "{";
      for (const JsonValue::Member& member : value.members()) {
        if (out.size() > 1) out += ',';
        out += member.key;
        out += '=';
        out += shape(member.value);
      }
      return out + "}";
    }
  }
  return "?";
}

struct ParseCase {
  const char* input;
  const char* result;  // the shape, or the failure
};

// Shown by the test runner when a case fails.
std::ostream& operator<<(std::ostream& out, const ParseCase& c) {
  return out << ::testing::PrintToString(std::string(c.input));
}

std::string parseOutcome(const std::string& text) {
  std::string result;
  std::string outcome = outcomeOf([&] { result = shape(parseText(text).root()); });
  return outcome == "ok" ? result : outcome;
}

class ParseValues : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseValues, Result) {
  EXPECT_EQ(parseOutcome(GetParam().input), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Structure, ParseValues,
    ::testing::Values(ParseCase{"{}", "{}"},                                                //
                      ParseCase{"[]", "[]"},                                                //
                      ParseCase{"[1, 2.5, \"s\", true, null, false]", "[1,2.5r,_,_,_,_]"},  //
                      ParseCase{R"({"a": {}, "b": 2})", "{a={},b=2}"},               // empty object inside
                      ParseCase{R"({"a": [], "b": [[]]})", "{a=[],b=[[]]}"},         //
                      ParseCase{R"({"a": 1,})", "{a=1}"},                            // comma before }
                      ParseCase{R"({"a": 1, 2})", "{a=1}"},                          // stops before 2
                      ParseCase{"{1}", "{}"},                                        //
                      ParseCase{R"({1, "size": 3})", "{}"},                          //
                      ParseCase{R"({"a": 1, "a": 2})", "{a=1,a=2}"},                 // duplicates kept
                      ParseCase{R"(# . {"k" . : 1})", "{k=1}"},                      // dropped characters
                      ParseCase{"1 2", "1"},                                         // first value only
                      ParseCase{"{} \x80", "{}"},                                    // never decoded
                      ParseCase{"[1] ]", "[1]"},                                     //
                      ParseCase{"/* c */ {\"a\": 1} /* d */", "{a=1}"},              //
                      ParseCase{"{\"a\": 1 /* between */, \"b\": 2}", "{a=1,b=2}"},  //
                      ParseCase{"/* open {\"a\": 1}", "{a=1}"},                      // unterminated comment
                      ParseCase{"{\"a\" \"b\"}", "Fail: error parsing field"}));

INSTANTIATE_TEST_SUITE_P(
    Messages, ParseValues,
    ::testing::Values(ParseCase{"", "Fail: error parsing value"},                         //
                      ParseCase{"  /* only a comment */ ", "Fail: error parsing value"},  //
                      ParseCase{":", "Fail: error parsing value"},                        //
                      ParseCase{"}", "Fail: error parsing value"},                        //
                      ParseCase{"[1,]", "Fail: error parsing value"},                     //
                      ParseCase{"[1 2]", "Fail: error parsing array"},                    //
                      ParseCase{"[1", "Fail: error parsing array"},                       //
                      ParseCase{"[", "Fail: error parsing value"},                        //
                      ParseCase{"[{1}]", "Fail: error parsing array"},                    //
                      ParseCase{R"({"a" 1})", "Fail: error parsing field"},               //
                      ParseCase{R"({"a": 1 "b": 2})", "Fail: error parsing object"},      //
                      ParseCase{R"({"a": {1}})", "Fail: error parsing object"},           //
                      ParseCase{R"({"a": })", "Fail: error parsing value"},               //
                      ParseCase{R"({"a": 1)", "Fail: error parsing object"},              //
                      ParseCase{R"({"a": "\q"})", "Fail: lexer reached a stuck state"},   //
                      ParseCase{"{\"a\": 1}", "{a=1}"},                                   //
                      ParseCase{"\x80{}", "Incomplete"},                                  //
                      ParseCase{"{\"a\": 1} /**/ \x80", "{a=1}"},                         // after the value
                      ParseCase{"/**/{\"size\": ,\x80", "Incomplete"},             // the comment looks on
                      ParseCase{"/* unterminated {\"a\": 1} \x80", "Incomplete"},  //
                      ParseCase{"{\"a\": 1, \"b\": /**/ 2} \x80", "Incomplete"}));

// The place a failure carries, or (0, 0) when it has none.
SourcePosition failurePlace(const std::string& text) {
  MemoryByteSource source(text);
  try {
    parseJson(source);
  } catch (const Failure& failure) {
    return failure.position().value_or(SourcePosition{});
  }
  return {};
}

TEST(Parser, FailurePositionIsTheOffendingToken) {
  const std::string text = "{\n  \"a\": 1\n  \"b\": 2\n}";
  EXPECT_EQ(outcomeOf([&] { parseText(text); }), "Fail: error parsing object");
  EXPECT_EQ(failurePlace(text).line, 3u);
  EXPECT_EQ(failurePlace(text).column, 3u);
}

TEST(Parser, IncompletePositionIsTheBadCharacter) {
  const std::string text =
      "/**/{\n\"a\": 1,\n  \xc3"
      "x}";
  EXPECT_EQ(outcomeOf([&] { parseText(text); }), "Incomplete");
  EXPECT_EQ(failurePlace(text).line, 3u);
  EXPECT_EQ(failurePlace(text).column, 3u);
}

std::string repeated(const std::string& piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += piece;
  return out;
}

TEST(Parser, MillionDeepArraysParseAndFreeWithoutRecursion) {
  constexpr std::size_t kDepth = 1'000'000;
  std::string text = repeated("[", kDepth) + repeated("]", kDepth);
  const JsonDocument document = parseText(text);
  std::size_t depth = 0;
  const JsonValue* at = &document.root();
  while (at->kind() == JsonValue::Kind::Array) {
    ++depth;
    if (at->elements().empty()) break;
    ASSERT_EQ(at->elements().size(), 1u);
    at = &at->elements().front();
  }
  EXPECT_EQ(depth, kDepth);
}

TEST(Parser, MillionDeepObjectsLoadByTheRules) {
  constexpr std::size_t kDepth = 1'000'000;
  // Parsed fine; the map check then finds no "size" in the outer object.
  std::string text = repeated("{\"k\":", kDepth) + "1" + repeated("}", kDepth);
  EXPECT_EQ(outcomeOf([&] { loadText(text); }), "Fail: no definition for field \"size\"");
}

TEST(Parser, NestingBeyondTheCapFails) {
  EXPECT_EQ(outcomeOf([&] { parseText(repeated("[", kMaxJsonNesting + 1)); }), "Fail: nesting too deep");
}

TEST(Parser, EmptyArrayBeyondTheCapFails) {
  // The innermost "[]" is a level of its own even though it is closed at once.
  std::string text = repeated("[", kMaxJsonNesting + 1) + repeated("]", kMaxJsonNesting + 1);
  EXPECT_EQ(outcomeOf([&] { parseText(text); }), "Fail: nesting too deep");
}

TEST(Parser, ReplacingADeepDocumentDoesNotRecurse) {
  JsonDocument document = parseText(repeated("[", 200'000) + repeated("]", 200'000));
  document = parseText("1");
  EXPECT_EQ(document.root().kind(), JsonValue::Kind::Int);
}

// Every comment makes the reader look at the rest of the input; these inputs
// would take hours if each look re-read the rest.
TEST(Parser, ManyCommentsReadLikeWhitespace) {
  std::string text = "{\"list\": [";
  constexpr std::size_t kComments = 100'000;
  for (std::size_t i = 0; i < kComments; ++i) text += "/* entry */ " + std::to_string(i) + ",";
  text += "/* last */ -1]}";
  const JsonDocument document = parseText(text);
  const JsonValue& list = lookupField(document.root().members(), "list");
  ASSERT_EQ(list.elements().size(), kComments + 1);
  EXPECT_EQ(list.elements()[kComments - 1].integer(), static_cast<long>(kComments - 1));
}

TEST(Parser, MillionUnterminatedCommentsAreDroppedCharacters) {
  std::string opens = repeated("/*x", 1'000'000);
  EXPECT_EQ(outcomeOf([&] { parseText(opens); }), "Fail: error parsing value");
  EXPECT_EQ(parseOutcome(opens + "[7]"), "[7]");
  // The first "*/" closes the first "/*"; everything before it is one comment.
  EXPECT_EQ(parseOutcome(opens + "*/[8]"), "[8]");
}

TEST(LookupField, FirstExactMatch) {
  const JsonDocument document = parseText(R"({"Size": 1, "size": 2, "size": 3, "size ": 4})");
  const JsonValue& object = document.root();
  EXPECT_EQ(lookupField(object.members(), "size").integer(), 2);
  EXPECT_EQ(lookupField(object.members(), "size ").integer(), 4);
  EXPECT_EQ(outcomeOf([&] { lookupField(object.members(), "siz"); }),
            "Fail: no definition for field \"siz\"");
  EXPECT_EQ(outcomeOf([&] { lookupField(object.members(), "SIZE"); }),
            "Fail: no definition for field \"SIZE\"");
}

TEST(LookupField, EscapedKeysCompareByDecodedText) {
  const JsonDocument document = parseText(R"({"\u0073ize": 5, "a\u0000b": 6})");
  const JsonValue& object = document.root();
  EXPECT_EQ(lookupField(object.members(), "size").integer(), 5);
  EXPECT_EQ(lookupField(object.members(), std::string_view("a\0b", 3)).integer(), 6);
  EXPECT_EQ(outcomeOf([&] { lookupField(object.members(), "ab"); }), "Fail: no definition for field \"ab\"");
}

}  // namespace
}  // namespace rover::testing
