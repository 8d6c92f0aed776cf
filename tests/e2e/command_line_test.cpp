// The command line and the start-up failures of the real server binary: what
// a user sees on standard output and standard error, and the exit status.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

const char* const kUsage = "usage: server [-v] [-p port] file\n";
const char* const kMissing = "/nonexistent/rover/no_such_map.json";

std::string expectedQuickOutput(const std::string& portText) {
  return "waiting for client connection on port " + portText +
         "\nstarting round\nRound 1: reached home; score = 10\n";
}

// The case's arguments with every "MAP" replaced by the path of a real map.
std::vector<std::string> withMapPath(std::vector<std::string> args, const std::string& path) {
  for (std::string& arg : args) {
    if (arg == "MAP") arg = path;
  }
  return args;
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

// Shows the case by its name in test listings.
void PrintTo(const UsageCase& c, std::ostream* out) {
  *out << c.name;
}

class UsageFailure : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageFailure, PrintsUsageAndNothingElse) {
  TempFile map(quickMap().json());
  Ending ending = runWithoutClient(withMapPath(GetParam().args, map.path()));
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, kUsage);
  EXPECT_EQ(ending.out, "");
}

INSTANTIATE_TEST_SUITE_P(CommandLine, UsageFailure,
                         ::testing::Values(UsageCase{"NoArguments", {}},
                                           UsageCase{"PortWithoutFile", {"-p", "10"}},
                                           UsageCase{"TwoFiles", {"MAP", "MAP"}},
                                           UsageCase{"ArgumentAfterFile", {"MAP", "-p"}},
                                           UsageCase{"TwoPortsWithoutFile", {"-p", "10", "-p", "20"}},
                                           UsageCase{"FileBeforePort", {"MAP", "-p", "10"}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct KindCase {
  const char* name;
  std::vector<std::string> args;
  const char* kind;
};

// Shows the case by its name in test listings.
void PrintTo(const KindCase& c, std::ostream* out) {
  *out << c.name;
}

class StartFailure : public ::testing::TestWithParam<KindCase> {};

// Failures before the network is touched: one "uncaught exception" line,
// status 1, and no waiting line.
TEST_P(StartFailure, ReportsKindWithoutListening) {
  TempFile map(quickMap().json());
  Ending ending = runWithoutClient(withMapPath(GetParam().args, map.path()));
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, std::string("uncaught exception: ") + GetParam().kind + "\n");
  EXPECT_EQ(ending.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, StartFailure,
    ::testing::Values(KindCase{"PortNotANumber", {"-p", "abc", "MAP"}, "Option"},
                      KindCase{"PortCheckedBeforeMapIsRead", {"-p", "abc", kMissing}, "Option"},
                      KindCase{"PortEmpty", {"-p", "", "MAP"}, "Option"},
                      KindCase{"PortSignOnly", {"-p", "-", "MAP"}, "Option"},
                      KindCase{"PortHuge", {"-p", "99999999999", "MAP"}, "Overflow"},
                      KindCase{"PortJustAboveInt32", {"-p", "2147483648", "MAP"}, "Overflow"},
                      KindCase{"PortJustBelowInt32", {"-p", "-2147483649", kMissing}, "Overflow"},
                      KindCase{"LonePortFlagIsTheMapName", {"-p"}, "Io"},
                      KindCase{"LoneVerboseFlagIsTheMapName", {"--verbose"}, "Io"},
                      KindCase{"LoneTimingFlagIsTheMapName", {"--timing"}, "Io"},
                      KindCase{"MissingMap", {kMissing}, "Io"}, KindCase{"MapIsADirectory", {"/tmp"}, "Io"},
                      KindCase{"BadPortFailsEvenIfOverridden", {"-p", "abc", "-p", "1", kMissing}, "Option"}),
    [](const auto& info) { return std::string(info.param.name); });

struct MapCase {
  const char* name;
  std::string text;
  const char* kind;
};

// Shows the case by its name in test listings.
void PrintTo(const MapCase& c, std::ostream* out) {
  *out << c.name;
}

std::string withReplaced(const std::string& text, const std::string& from, const std::string& to) {
  std::string result = text;
  std::size_t at = result.find(from);
  if (at != std::string::npos) result.replace(at, from.size(), to);
  return result;
}

std::vector<MapCase> badMaps() {
  const std::string good = quickMap().json();
  return {
      {"EmptyFile", "", "Fail"},
      {"TopLevelArray", "[" + good + "]", "Fail"},
      {"UnclosedObject", good.substr(0, good.size() / 2), "Fail"},
      {"TimeLimitWithExponent", withReplaced(good, "\"timeLimit\": 20000", "\"timeLimit\": 2e4"), "Fail"},
      {"TimeLimitWithFraction", withReplaced(good, "\"timeLimit\": 20000", "\"timeLimit\": 20000.0"), "Fail"},
      {"MissingSize", withReplaced(good, "\"size\"", "\"Size\""), "Fail"},
      {"BadEscape", withReplaced(good, "{\n", "{\"note\": \"\\q\",\n"), "Fail"},
      {"StrayContinuationByte", "\x80" + good, "Incomplete"},
      {"FourByteCharacter", withReplaced(good, "{\n", "{\"note\": \"\xF0\x9F\x98\x80\",\n"), "Incomplete"},
      {"NoRuns", withReplaced(good, "\"runs\": [", "\"runs\": [], \"old\": ["), "Empty"},
  };
}

class BadMap : public ::testing::TestWithParam<MapCase> {};

TEST_P(BadMap, FailsBeforeTheSocketIsOpened) {
  TempFile map(GetParam().text);
  const int port = testing::freePort();
  Ending ending = runWithoutClient({"-p", std::to_string(port), map.path()});
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, std::string("uncaught exception: ") + GetParam().kind + "\n");
  EXPECT_EQ(ending.out, "");
}

INSTANTIATE_TEST_SUITE_P(Map, BadMap, ::testing::ValuesIn(badMaps()),
                         [](const auto& info) { return std::string(info.param.name); });

struct PortCase {
  const char* name;
  // The port argument; "P" stands for the free port the test found.
  std::vector<std::string> args;
  // The number the waiting line must show, as an offset from P.
  long shownOffset;
};

// Shows the case by its name in test listings.
void PrintTo(const PortCase& c, std::ostream* out) {
  *out << c.name;
}

class PortChoice : public ::testing::TestWithParam<PortCase> {};

// The server listens on the low 16 bits of the last "-p" and shows the full number.
TEST_P(PortChoice, ListensWhereTheWaitingLineSays) {
  TempFile map(quickMap().json());
  const int port = testing::freePort();
  std::vector<std::string> args;
  for (const std::string& arg : GetParam().args) {
    std::string text = arg;
    std::size_t at = text.find("P65536");
    if (at != std::string::npos) text.replace(at, 6, std::to_string(port + 65536));
    at = text.find('P');
    if (at != std::string::npos) text.replace(at, 1, std::to_string(port));
    args.push_back(text);
  }
  args.push_back(map.path());
  ChildProcess server(testing::serverPath(), args);
  const std::string shown = std::to_string(port + GetParam().shownOffset);
  ASSERT_TRUE(server.waitForOutput("waiting for client connection on port " + shown + "\n"))
      << server.stderrText();
  Client client(port);
  ASSERT_TRUE(client.connected());
  EXPECT_TRUE(client.readToEnd());
  EXPECT_EQ(server.waitForExit(), 0) << server.stderrText();
  EXPECT_EQ(server.stdoutText(), expectedQuickOutput(shown));
  EXPECT_EQ(server.stderrText(), "");
}

INSTANTIATE_TEST_SUITE_P(CommandLine, PortChoice,
                         ::testing::Values(PortCase{"Plain", {"-p", "P"}, 0},
                                           PortCase{"LaterPortWins", {"-p", "10", "-p", "P"}, 0},
                                           PortCase{"AboveSixteenBits", {"-p", "P65536"}, 65536},
                                           PortCase{"TrailingText", {"-p", "Px"}, 0},
                                           PortCase{"LeadingSpaceAndPlus", {"-p", " +P"}, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Listening, PortInUseIsASystemError) {
  int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(holder, 0);
  int one = 1;
  ::setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  int port = 0;
  // The free port may be taken between the look-up and the bind; try a few.
  for (int attempt = 0; attempt < 20; ++attempt) {
    port = testing::freePort();
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
    port = 0;
  }
  ASSERT_NE(port, 0);
  ASSERT_EQ(::listen(holder, 1), 0);

  TempFile map(quickMap().json());
  Ending ending = runWithoutClient({"-p", std::to_string(port), map.path()});
  ::close(holder);
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.out, "");
  EXPECT_EQ(ending.err.rfind("ERROR: ", 0), 0u) << ending.err;
  const std::string tail = " (addrinuse)\n";
  ASSERT_GT(ending.err.size(), tail.size() + 7);
  EXPECT_EQ(ending.err.substr(ending.err.size() - tail.size()), tail) << ending.err;
  EXPECT_EQ(ending.err.find('\n'), ending.err.size() - 1) << "one line only: " << ending.err;
}

TEST(Listening, SecondClientIsNeverServed) {
  TempFile map(quickMap().json());
  const int port = testing::freePort();
  ChildProcess server(testing::serverPath(), {"-p", std::to_string(port), map.path()});
  ASSERT_TRUE(server.waitForOutput("waiting for client connection")) << server.stderrText();
  Client first(port);
  ASSERT_TRUE(first.connected());
  ASSERT_TRUE(first.readUntil(";"));
  Client second(port);
  ASSERT_TRUE(second.connected());
  EXPECT_TRUE(first.readToEnd());
  EXPECT_EQ(server.waitForExit(), 0) << server.stderrText();
  second.readToEnd();
  EXPECT_EQ(second.received(), "");
  EXPECT_NE(first.received(), "");
}

TEST(Listening, SamePortTwiceInARow) {
  TempFile map(quickMap().json());
  const int port = testing::freePort();
  for (int round = 0; round < 2; ++round) {
    ChildProcess server(testing::serverPath(), {"-p", std::to_string(port), map.path()});
    ASSERT_TRUE(server.waitForOutput("waiting for client connection")) << round << server.stderrText();
    Client client(port);
    ASSERT_TRUE(client.connected()) << round;
    EXPECT_TRUE(client.readToEnd()) << round;
    EXPECT_EQ(server.waitForExit(), 0) << round << server.stderrText();
    EXPECT_EQ(server.stdoutText(), expectedQuickOutput(std::to_string(port))) << round;
  }
}

}  // namespace
}  // namespace rover::e2e
