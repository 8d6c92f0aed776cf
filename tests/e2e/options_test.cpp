// The options around the game, end to end: --timing writes a file of its own
// and changes nothing else, --max-late ends a lockstep game, --verbose
// explains. Timings vary from run to run: only their structure, counts and
// invariants are checked.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A read timing file: valid JSON of this format, with a bucket count per edge
// and one more.
rapidjson::Document timingFile(const std::string& path) {
  rapidjson::Document document;
  document.Parse(readFile(path).c_str());
  EXPECT_FALSE(document.HasParseError()) << readFile(path);
  if (document.HasParseError()) return document;
  EXPECT_EQ(std::string(document["format"].GetString()), "rover-timing");
  EXPECT_EQ(document["version"].GetInt(), 1);
  EXPECT_EQ(document["bucket_edges_us"].Size(), 24u);
  return document;
}

// A histogram's invariants: as many durations as `count`, the maximum in the
// highest bucket used, the sum at least the maximum. Returns the count.
std::uint64_t checkHistogram(const rapidjson::Value& histogram, const rapidjson::Value& edges) {
  const rapidjson::Value& counts = histogram["counts"];
  EXPECT_EQ(counts.Size(), edges.Size() + 1);
  std::uint64_t total = 0;
  std::size_t highest = 0;
  for (rapidjson::SizeType i = 0; i < counts.Size(); ++i) {
    total += counts[i].GetUint64();
    if (counts[i].GetUint64() > 0) highest = i;
  }
  const std::uint64_t max = histogram["max"].GetUint64();
  if (total > 0 && highest > 0) {
    EXPECT_GE(max, edges[static_cast<rapidjson::SizeType>(highest - 1)].GetUint64());
  }
  if (total > 0 && highest < edges.Size()) {
    EXPECT_LT(max, edges[static_cast<rapidjson::SizeType>(highest)].GetUint64());
  }
  EXPECT_GE(histogram["sum"].GetUint64(), max);
  return total;
}

std::string steadyScript(int k) {
  if (k % 6 == 1) return "a;;";
  if (k % 9 == 4) return "l;r;;";
  return ";";
}

// "T" messages whose reply the server awaited: all but those of the instant
// that ended the game, which share the last "E"'s time.
std::uint64_t awaitedReplies(const std::string& stream) {
  const std::vector<std::vector<Message>> runs = splitRuns(parseMessages(stream));
  std::uint64_t telemetry = 0;
  for (const auto& run : runs) {
    for (const Message& m : run) telemetry += m.letter == "T";
  }
  const std::string lastEnd = runs.back().back().fields.at(0);
  for (const Message& m : runs.back()) telemetry -= m.letter == "T" && m.fields.at(0) == lastEnd;
  return telemetry;
}

// The same lockstep games with and without --timing: the record and the
// results file are byte-identical, and the timing file counts every reply
// awaited, in its run.
TEST(Timing, LockstepFileLeavesRecordAndResultsAlone) {
  const std::string map = bumpyMap().json();
  TempFile record1("", ".jsonl"), results1("", ".json"), record2("", ".jsonl"), results2("", ".json");
  TempFile timing("", ".timing.json");
  const std::vector<std::string> lockstep = {"--lockstep", "--reply-timeout", "0"};
  std::vector<std::string> plain = lockstep, timed = lockstep;
  plain.insert(plain.end(), {"--record", record1.path(), "--results", results1.path()});
  timed.insert(timed.end(),
               {"--timing", timing.path(), "--record", record2.path(), "--results", results2.path()});
  const Played without = playAnswering(map, steadyScript, plain, 2);
  const Played with = playAnswering(map, steadyScript, timed, 2);
  ASSERT_EQ(without.ending.status, 0) << without.ending.err;
  ASSERT_EQ(with.ending.status, 0) << with.ending.err;
  EXPECT_EQ(with.ending.err, "");
  EXPECT_EQ(with.stream, without.stream);
  EXPECT_EQ(readFile(results2.path()), readFile(results1.path()));
  EXPECT_EQ(readFile(record2.path()), readFile(record1.path()));
  EXPECT_GT(readFile(record1.path()).size(), 1000u);

  const rapidjson::Document document = timingFile(timing.path());
  EXPECT_EQ(std::string(document["mode"].GetString()), "lockstep");
  EXPECT_EQ(document["reply_timeout_ms"].GetInt(), 0);
  EXPECT_EQ(std::string(document["status"].GetString()), "completed");
  ASSERT_EQ(document["runs"].Size(), 2u);
  std::uint64_t replies = 0;
  for (const rapidjson::Value& run : document["runs"].GetArray()) {
    EXPECT_TRUE(run["ended"].GetBool());
    EXPECT_EQ(run["late_replies"].GetUint64(), 0u);
    EXPECT_EQ(run["ahead_replies"].GetUint64(), 0u);
    EXPECT_EQ(checkHistogram(run["reply_us"], document["bucket_edges_us"]), run["replies"].GetUint64());
    replies += run["replies"].GetUint64();
  }
  EXPECT_EQ(replies, awaitedReplies(with.stream));
}

// Real time: one "T" counted per "T" sent, the commands the results file
// counts, and no more polls that found input than polls (12: at 50 to 600).
TEST(Timing, RealTimeCountsAgreeWithTheGame) {
  MapDesc map;
  map.timeLimit = "630";
  map.runs = {{-20, 10, 180, {}}};
  TempFile timing("", ".timing.json"), results("", ".json");
  const Played played = playAnswering(
      map.json(), [](int k) { return std::string(k == 1 ? "a;;" : ";"); },
      {"--timing", timing.path(), "--results", results.path()}, 1);
  ASSERT_EQ(played.ending.status, 0) << played.ending.err;
  const rapidjson::Document document = timingFile(timing.path());
  EXPECT_EQ(std::string(document["mode"].GetString()), "realtime");
  EXPECT_TRUE(document["reply_timeout_ms"].IsNull());
  ASSERT_EQ(document["runs"].Size(), 1u);
  const rapidjson::Value& run = document["runs"][0];
  std::uint64_t telemetry = 0;
  for (const Message& m : parseMessages(played.stream)) telemetry += m.letter == "T";
  EXPECT_EQ(telemetry, 7u);
  EXPECT_EQ(run["telemetry"].GetUint64(), telemetry);
  EXPECT_EQ(checkHistogram(run["telemetry_late_us"], document["bucket_edges_us"]), telemetry);
  EXPECT_EQ(run["polls"].GetUint64(), 12u);
  EXPECT_LE(run["polls_with_input"].GetUint64(), 12u);
  rapidjson::Document resultsDocument;
  resultsDocument.Parse(readFile(results.path()).c_str());
  ASSERT_FALSE(resultsDocument.HasParseError());
  EXPECT_EQ(run["commands"].GetUint64(), resultsDocument["runs"][0]["commands"].GetUint64());
}

// A controller that ends its replies with ";\n" never completes one: each
// reply is late and said so, and the third in a row ends the game, as the
// results and the timing file say too.
TEST(MaxLate, LateRepliesInARowEndTheGameAndVerboseSaysEach) {
  MapDesc map;
  map.runs = {{-20, 10, 180, {}}};
  TempFile timing("", ".timing.json"), results("", ".json");
  Session session(map.json(), true,
                  {"--lockstep", "--reply-timeout", "50", "--max-late", "3", "--verbose", "--timing",
                   timing.path(), "--results", results.path()});
  std::size_t answered = 0;
  while (session.client().readMore()) {
    std::size_t seen = 0;
    for (const Message& m : parseMessages(session.client().received())) seen += m.letter == "T";
    for (; answered < seen; ++answered) session.client().send("a;\n");
  }
  const Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  const std::vector<std::string> lines = linesOf(ending.err);
  ASSERT_EQ(lines.size(), 5u) << ending.err;
  const std::regex late(
      R"(server: reply to T (\d+) late after 50 ms: no bare ';' yet; (received nothing|received "(a;\\n)+"; a newline is part of a command, so ";\\n" does not end a reply))");
  for (int i = 0; i < 3; ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[static_cast<std::size_t>(i)], match, late))
        << lines[static_cast<std::size_t>(i)];
    EXPECT_EQ(match[1].str(), std::to_string(100 * i));
  }
  EXPECT_EQ(lines[3], "uncaught exception: Fail");
  EXPECT_EQ(
      lines[4],
      "server: 3 late replies in a row: none of the last 3 replies had its bare ';' within the 50 ms reply "
      "timeout (--max-late 3)");
  const std::string document = readFile(results.path());
  EXPECT_NE(document.find("\"message\": \"3 late replies in a row\""), std::string::npos) << document;
  const rapidjson::Document times = timingFile(timing.path());
  EXPECT_EQ(std::string(times["status"].GetString()), "failed");
  ASSERT_EQ(times["runs"].Size(), 1u);
  EXPECT_FALSE(times["runs"][0]["ended"].GetBool());
  EXPECT_EQ(times["runs"][0]["replies"].GetUint64(), 3u);
  EXPECT_EQ(times["runs"][0]["late_replies"].GetUint64(), 3u);
}

TEST(Timing, UnwritableFileFailsBeforeTheSocketOpens) {
  TempFile map(quickMap().json());
  const Ending ending = runWithoutClient({"--timing", "/nonexistent-folder/t.json", map.path()});
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.out, "");
  EXPECT_EQ(ending.err,
            "ERROR: cannot write /nonexistent-folder/t.json: No such file or directory (noent)\n");
}

struct ExplainCase {
  const char* name;
  bool lockstep;
  bool beforeFirstRun;  // send at once instead of after "T 0"
  std::string bytes;    // "" closes the sending side instead
  std::string lines;    // a pattern for the whole of standard error
};

// Shows the case by its name in test listings.
void PrintTo(const ExplainCase& c, std::ostream* out) {
  *out << c.name;
}

class Explained : public ::testing::TestWithParam<ExplainCase> {};

// Every failure a client can cause: its usual line, then one line saying
// what it was, escaped; nothing before them, in either mode.
TEST_P(Explained, FailureLineThenWhatItWas) {
  const ExplainCase& c = GetParam();
  MapDesc map;
  map.runs = {{-20, 10, 180, {}}};
  std::vector<std::string> args = {"--verbose"};
  if (c.lockstep) args.insert(args.end(), {"--lockstep", "--reply-timeout", "0"});
  Session session(map.json(), true, args);
  if (!c.beforeFirstRun) {
    ASSERT_TRUE(session.client().readUntil("T 0 "));
  }
  if (c.bytes.empty()) {
    session.client().shutdownSend();
  } else {
    session.client().send(c.bytes);
  }
  const Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_TRUE(std::regex_match(ending.err, std::regex(c.lines))) << ending.err;
}

const std::string kFailLine = "uncaught exception: Fail\n";
// 1000 commands without a bare ";": too many before a run, or in one reply.
const std::string kThousandCommands = [] {
  std::string commands;
  for (int i = 0; i < 1000; ++i) commands += "a;";
  return commands;
}();
const std::string kIllegal = ": the commands are a, b, l, r, al, ar, bl and br, each ended by ';'\n";

INSTANTIATE_TEST_SUITE_P(
    Verbose, Explained,
    ::testing::Values(
        ExplainCase{"RawNewlineStaysEscaped", false, false, "\na;",
                    kFailLine + R"(server: illegal command "\\na")" + kIllegal},
        ExplainCase{
            "OverlongCommand", false, false, "abcde",
            kFailLine +
                R"(server: bogus command exceeds max length: a command reached 5 characters before its ';' \(the longest are two letters, e\.g\. al;\)\n)"},
        ExplainCase{"EndOfStream", false, false, "",
                    kFailLine + "server: EOF: the controller closed its connection\n"},
        ExplainCase{
            "ExcessiveInput", false, true, kThousandCommands,
            kFailLine + "server: excessive input: 1000 or more commands were waiting at a run start\n"},
        ExplainCase{"LockstepIllegalCommand", true, false, "\x01;;",
                    kFailLine + R"(server: illegal command "\\x01")" + kIllegal},
        ExplainCase{"LockstepEndOfStream", true, false, "",
                    kFailLine + "server: EOF: the controller closed its connection\n"},
        ExplainCase{
            "LockstepThousandCommandsInOneReply", true, false, kThousandCommands,
            kFailLine +
                R"(server: excessive input: the 1000th command of one reply \(a reply holds at most 999\)\n)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A client that goes away with bytes unread resets the connection: the
// report is an EOF or the system's error, and either way explained.
TEST(Verbose, ResetConnectionExplained) {
  MapDesc map;
  map.runs = {{-20, 10, 180, {}}};
  Session session(map.json(), true, {"--verbose"});
  ASSERT_TRUE(session.client().readUntil("T 0 "));
  ASSERT_TRUE(session.client().waitReadable());
  session.client().close();
  const Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_TRUE(std::regex_match(
      ending.err, std::regex("(uncaught exception: Fail\nserver: EOF: the controller closed its connection|"
                             "ERROR: .+ \\((connreset|pipe)\\)\nserver: .+: the connection to the controller "
                             "failed while (receiving|sending|waiting for a reply))\n")))
      << ending.err;
}

// Two replies to every "T": the controller is out of step, said once, and
// the timing file counts the replies that were ahead.
TEST(Verbose, RepliesAheadOfTheirTSaidOnce) {
  MapDesc map;
  map.timeLimit = "500";
  map.runs = {{-20, 10, 180, {}}};
  TempFile timing("", ".timing.json");
  const Played played = playAnswering(
      map.json(), [](int) { return std::string(";;"); },
      {"--lockstep", "--reply-timeout", "0", "--verbose", "--timing", timing.path()}, 1);
  EXPECT_EQ(played.ending.status, 0);
  EXPECT_TRUE(
      std::regex_match(played.ending.err,
                       std::regex("server: the reply to T [1-9]00 had arrived before that T was sent: more "
                                  "than one reply per T puts the controller out of step \\(said once\\)\n")))
      << played.ending.err;
  const rapidjson::Document document = timingFile(timing.path());
  EXPECT_GE(document["runs"][0]["ahead_replies"].GetUint64(), 1u);
}

// A bad map: the failure line, then where and what.
TEST(Verbose, MapFailureWithLineAndColumn) {
  TempFile map("{\"size\": 100,\n  \"timeLimit\": \"soon\"}");
  const Ending ending = runWithoutClient({"--verbose", map.path()});
  EXPECT_EQ(ending.status, 1);
  EXPECT_TRUE(
      std::regex_match(ending.err, std::regex("uncaught exception: Fail\nserver: line 2, column \\d+: .+\n")))
      << ending.err;
  EXPECT_EQ(ending.out, "");
}

}  // namespace
}  // namespace rover::e2e
