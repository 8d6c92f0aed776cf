// A client that breaks the protocol or goes away: the server ends with one
// report line and status 1, never with a signal, and tells the client nothing.

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

// A run that lasts long enough for any command to be read.
std::string longRunMap() {
  MapDesc map;
  map.runs = {{-20, 10, 180, {}}};
  return map.json();
}

void expectOnlyInitAndTelemetry(const std::string& stream) {
  for (const Message& m : parseMessages(stream)) EXPECT_TRUE(m.letter == "I" || m.letter == "T") << m.text;
}

struct InputCase {
  const char* name;
  std::string bytes;
};

// Shows the case by its name in test listings.
void PrintTo(const InputCase& c, std::ostream* out) {
  *out << c.name;
}

class BadInputDuringRun : public ::testing::TestWithParam<InputCase> {};

TEST_P(BadInputDuringRun, EndsTheServerWithFail) {
  Session session(longRunMap());
  ASSERT_TRUE(session.client().connected());
  ASSERT_TRUE(session.client().readUntil("T 0 "));
  session.client().send(GetParam().bytes);
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\n");
  EXPECT_TRUE(session.client().peerClosed());
  expectOnlyInitAndTelemetry(session.client().received());
}

INSTANTIATE_TEST_SUITE_P(Protocol, BadInputDuringRun,
                         ::testing::Values(InputCase{"UnknownLetter", "x;"},
                                           InputCase{"FourCharacters", "abcd;"},
                                           InputCase{"FifthCharacterWithoutTerminator", "abcde"},
                                           InputCase{"UpperCase", "A;"}, InputCase{"TrailingSpace", "a ;"},
                                           InputCase{"WrongOrder", "la;"}, InputCase{"Doubled", "aa;"},
                                           InputCase{"IllegalAfterLegal", "a;l;q;"},
                                           InputCase{"LongAfterLegal", "al;bbbbb"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StaleCase {
  const char* name;
  std::string bytes;
  bool fails;
};

// Shows the case by its name in test listings.
void PrintTo(const StaleCase& c, std::ostream* out) {
  *out << c.name;
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

class InputBeforeRun : public ::testing::TestWithParam<StaleCase> {};

// Bytes that wait for the run start are drained unread, up to the limits.
TEST_P(InputBeforeRun, IsDrainedOrFails) {
  Session session(quickMap().json());
  ASSERT_TRUE(session.client().connected());
  session.client().send(GetParam().bytes);
  Ending ending = session.finish();
  if (GetParam().fails) {
    EXPECT_EQ(ending.status, 1);
    EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
    EXPECT_EQ(ending.out, session.waitingLine());
    expectOnlyInitAndTelemetry(session.client().received());
  } else {
    EXPECT_EQ(ending.status, 0) << ending.err;
    EXPECT_EQ(ending.err, "");
    EXPECT_EQ(ending.out, session.waitingLine() + "starting round\nRound 1: reached home; score = 10\n");
    const std::string& stream = session.client().received();
    const std::string tail = "T 0 -- 1.000 -2.000 -90.0 0.000 h 0.000 0.000 5.000 ;S 10 ;E 10 10 ;";
    ASSERT_GE(stream.size(), tail.size());
    EXPECT_EQ(stream.substr(stream.size() - tail.size()), tail);
  }
}

INSTANTIATE_TEST_SUITE_P(Protocol, InputBeforeRun,
                         ::testing::Values(StaleCase{"IllegalCommandIsNeverParsed", "x;zz;", false},
                                           StaleCase{"NineHundredNinetyNineCommands", repeated("a;", 999),
                                                     false},
                                           StaleCase{"OneThousandCommands", repeated("a;", 1000), true},
                                           StaleCase{"ThousandsOfCommands", repeated("bl;", 3000), true},
                                           StaleCase{"BareTerminatorStopsTheDrain",
                                                     std::string(";") + repeated("a;", 1200), false},
                                           StaleCase{"UnfinishedCommandWaits", "ar", false},
                                           StaleCase{"TooLongWhileDraining", "a;abcde", true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CloseCase {
  const char* name;
  bool duringRun;
};

// Shows the case by its name in test listings.
void PrintTo(const CloseCase& c, std::ostream* out) {
  *out << c.name;
}

class AbruptClose : public ::testing::TestWithParam<CloseCase> {};

// The client closes with telemetry still unread, so its side resets the
// connection; the server must report it, not die of a signal.
TEST_P(AbruptClose, IsReportedWithStatusOne) {
  Session session(longRunMap());
  ASSERT_TRUE(session.client().connected());
  ASSERT_TRUE(session.client().waitReadable());
  if (GetParam().duringRun) {
    ASSERT_TRUE(session.server().waitForOutput("starting round\n"));
  }
  session.client().close();
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1) << ending.err;
  const std::string& err = ending.err;
  auto endsWith = [&](const std::string& tail) {
    return err.size() > tail.size() + 7 && err.compare(err.size() - tail.size(), tail.size(), tail) == 0;
  };
  const bool reset = err.rfind("ERROR: ", 0) == 0 && (endsWith(" (connreset)\n") || endsWith(" (pipe)\n"));
  EXPECT_TRUE(reset || err == "uncaught exception: Fail\n") << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line only: " << err;
}

INSTANTIATE_TEST_SUITE_P(Protocol, AbruptClose,
                         ::testing::Values(CloseCase{"DuringThePause", false},
                                           CloseCase{"DuringTheRun", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Protocol, EndOfFileDuringTheRunFails) {
  Session session(longRunMap());
  ASSERT_TRUE(session.client().connected());
  ASSERT_TRUE(session.client().readUntil("T 100 "));
  session.client().send("a;");
  session.client().shutdownSend();
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\n");
  EXPECT_TRUE(session.client().peerClosed());
  expectOnlyInitAndTelemetry(session.client().received());
}

}  // namespace
}  // namespace rover::e2e
