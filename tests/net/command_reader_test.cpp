#include "net/command_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "net/memory_transport.h"

namespace rover {
namespace {

// The failure message a call raises, or nullopt when it raises nothing.
template <typename F>
std::optional<std::string> failureOf(F&& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return std::string(failure.kindName()) + ": " + failure.message().value_or("");
  }
  return std::nullopt;
}

class Reader : public ::testing::Test {
 protected:
  MemoryTransport transport;
  CommandReader reader{transport};
};

// Each step pushes one chunk (when not empty) and then reads one command.
struct ReadStep {
  std::string chunk;
  std::string command;
};

struct ReadCase {
  const char* name;
  std::vector<ReadStep> steps;
};

class ReadSequence : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadSequence, YieldsCommandsInOrder) {
  MemoryTransport transport;
  CommandReader reader(transport);
  int step = 0;
  for (const ReadStep& s : GetParam().steps) {
    if (!s.chunk.empty()) transport.pushInput(s.chunk);
    EXPECT_EQ(reader.readCommand(), s.command) << "step " << step;
    ++step;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fragments, ReadSequence,
    ::testing::Values(ReadCase{"nothing_available", {{"", ""}, {"", ""}}},
                      ReadCase{"split_command", {{"a", ""}, {"l;", "al"}, {"", ""}}},
                      ReadCase{"two_in_one_chunk", {{"ar;b;", "ar"}, {"", "b"}, {"", ""}}},
                      ReadCase{"bare_semicolons", {{";;a;", ""}, {"", ""}, {"", "a"}, {"", ""}}},
                      ReadCase{"four_characters_over_four_reads",
                               {{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}, {";", "abcd"}}},
                      ReadCase{"tail_kept_after_a_command", {{"l;b", "l"}, {"", ""}, {"r;", "br"}}},
                      ReadCase{"text_is_not_checked_here", {{"A a;", "A a"}, {"zz;", "zz"}}}));

TEST_F(Reader, FifthCharacterFailsWithOrWithoutItsTerminator) {
  for (const char* input : {"abcde", "abcde;", "al;abcde"}) {
    MemoryTransport t;
    CommandReader r(t);
    t.pushInput(input);
    if (std::string(input).starts_with("al;")) {
      EXPECT_EQ(r.readCommand(), "al");
    }
    EXPECT_EQ(failureOf([&] { r.readCommand(); }), "Fail: bogus command exceeds max length") << input;
  }
}

TEST_F(Reader, LengthLimitCountsAcrossReceives) {
  transport.pushInput("abc");
  EXPECT_EQ(reader.readCommand(), "");
  transport.pushInput("de;");
  EXPECT_EQ(failureOf([&] { reader.readCommand(); }), "Fail: bogus command exceeds max length");
}

TEST_F(Reader, EndOfFileFailsOnceTheCompleteCommandsAreRead) {
  transport.pushInput("a;b");
  transport.closeInput();
  EXPECT_EQ(reader.readCommand(), "a");
  EXPECT_EQ(failureOf([&] { reader.readCommand(); }), "Fail: EOF");
}

TEST_F(Reader, ReceivesAtMost1024BytesAtATime) {
  std::string big;
  for (int i = 0; i < 400; ++i) big += "al;";  // 1200 bytes
  transport.pushInput(big);
  for (int i = 0; i < 400; ++i) ASSERT_EQ(reader.readCommand(), "al") << i;
  EXPECT_EQ(reader.readCommand(), "");
  // 1024 bytes, then 176, then one receive that finds nothing.
  EXPECT_EQ(transport.receiveCalls(), 3u);
}

TEST_F(Reader, CommandSplitAtTheReceiveSizeIsJoined) {
  // 341 "al;" fill 1023 bytes; the 1024th byte starts "br;", finished by the next receive.
  std::string chunk;
  for (int i = 0; i < 341; ++i) chunk += "al;";
  chunk += "br;";
  transport.pushInput(chunk);
  for (int i = 0; i < 341; ++i) ASSERT_EQ(reader.readCommand(), "al");
  EXPECT_EQ(reader.readCommand(), "br");
  EXPECT_EQ(transport.receiveCalls(), 2u);
}

struct PollCase {
  const char* name;
  ControlState before;
  std::string input;
  ControlState after;  // {turn, accel}
};

class Poll : public ::testing::TestWithParam<PollCase> {};

TEST_P(Poll, AppliesEveryCompleteCommand) {
  const PollCase& c = GetParam();
  MemoryTransport transport;
  CommandReader reader(transport);
  transport.pushInput(c.input);
  ControlState control = c.before;
  pollInput(reader, control);
  EXPECT_EQ(control.turn, c.after.turn);
  EXPECT_EQ(control.accel, c.after.accel);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Poll,
                         ::testing::Values(PollCase{"nothing", {1, -1}, "", {1, -1}},
                                           PollCase{"two_notches", {0, -1}, "a;a;", {0, 1}},
                                           PollCase{"clamped", {0, 1}, "a;a;", {0, 1}},
                                           PollCase{"all_eight", {0, 0}, "a;b;l;r;al;ar;bl;br;", {0, -1}},
                                           PollCase{"turn_to_hard_left", {0, 0}, "l;al;bl;l;", {2, 0}},
                                           PollCase{"stops_at_bare_semicolon", {0, 0}, "a;;a;", {0, 1}},
                                           PollCase{"unfinished_waits", {0, 0}, "r;l", {-1, 0}}));

TEST_F(Reader, PollRunsBareSemicolonsOneAtATime) {
  transport.pushInput(";;a;");
  ControlState control;
  pollInput(reader, control);
  pollInput(reader, control);
  EXPECT_EQ(control.accel, 0);
  pollInput(reader, control);
  EXPECT_EQ(control.accel, 1);
}

TEST_F(Reader, PollRejectsIllegalCommands) {
  for (const char* input : {"abcd;", "la;", "A;", "a ;"}) {
    MemoryTransport t;
    CommandReader r(t);
    t.pushInput(input);
    ControlState control;
    const std::string text(input, std::string(input).size() - 1);
    EXPECT_EQ(failureOf([&] { pollInput(r, control); }), "Fail: illegal command \"" + text + "\"");
  }
}

TEST_F(Reader, PollEndsWithEofWhenTheClientHasGone) {
  transport.closeInput();
  ControlState control;
  EXPECT_EQ(failureOf([&] { pollInput(reader, control); }), "Fail: EOF");
}

std::string commands(int n, const std::string& command) {
  std::string text;
  for (int i = 0; i < n; ++i) text += command + ";";
  return text;
}

TEST_F(Reader, DrainDropsUpTo999Commands) {
  transport.pushInput(commands(999, "zz"));  // never parsed, so not illegal
  transport.pushInput("a");
  drainCommands(reader);
  transport.pushInput(";");
  EXPECT_EQ(reader.readCommand(), "a");
}

TEST_F(Reader, DrainFailsOnThe1000thCommand) {
  transport.pushInput(commands(1000, "b"));
  EXPECT_EQ(failureOf([&] { drainCommands(reader); }), "Fail: excessive input");
}

TEST_F(Reader, DrainStopsAtABareSemicolon) {
  transport.pushInput(commands(999, "a") + ";" + commands(5, "l"));
  drainCommands(reader);
  ControlState control;
  pollInput(reader, control);
  EXPECT_EQ(control.turn, 2);
}

TEST_F(Reader, DrainPassesOnReaderFailures) {
  transport.pushInput("a;bogus;");
  EXPECT_EQ(failureOf([&] { drainCommands(reader); }), "Fail: bogus command exceeds max length");
  MemoryTransport closed;
  CommandReader eof(closed);
  closed.closeInput();
  EXPECT_EQ(failureOf([&] { drainCommands(eof); }), "Fail: EOF");
}

}  // namespace
}  // namespace rover
