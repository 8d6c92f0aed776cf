// Game records and results files end to end: the real server writes them,
// the real replay tool verifies, summarises and draws them.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <zlib.h>

#include <filesystem>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Ending runReplay(const std::vector<std::string>& args) {
  testing::ChildProcess replay(testing::toolPath("replay"), args);
  Ending ending;
  ending.status = replay.waitForExit();
  ending.out = replay.stdoutText();
  ending.err = replay.stderrText();
  return ending;
}

// A scratch folder for one test's files, removed afterwards.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/rover_record_XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~Scratch() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string script(int k) {
  if (k % 6 == 1) return "a;;";
  if (k % 9 == 4) return "l;r;;";
  return ";";
}

// The outcome and score of every "Round" line, in order.
std::vector<std::string> roundLines(const std::string& out) {
  std::vector<std::string> rounds;
  static const std::regex round(R"(Round \d+: ([a-z ]+); score = (\d+))");
  for (std::sregex_iterator it(out.begin(), out.end(), round), end; it != end; ++it) {
    rounds.push_back((*it)[1].str() + "/" + (*it)[2].str());
  }
  return rounds;
}

// The same from a results document.
std::vector<std::string> resultRuns(const std::string& json) {
  std::vector<std::string> runs;
  static const std::regex run(R"re("outcome": "([a-z ]+)", "code": \d, "score": (\d+))re");
  for (std::sregex_iterator it(json.begin(), json.end(), run), end; it != end; ++it) {
    runs.push_back((*it)[1].str() + "/" + (*it)[2].str());
  }
  return runs;
}

// A complete record of a two-run lockstep game, played once per test program.
const std::string& goodRecord() {
  static const std::string good = [] {
    Scratch dir;
    playAnswering(bumpyMap().json(), script,
                  {"--lockstep", "--reply-timeout", "0", "--record", dir.file("g.jsonl")}, 2);
    return readFile(dir.file("g.jsonl"));
  }();
  return good;
}

// A lockstep game leaves a record that replays line for line, and a results
// file that agrees with it and with the Round lines. Moving one message to
// another stamp is caught, and the report names that message.
TEST(Records, LockstepGameVerifiesAndATamperedStampIsFound) {
  Scratch dir;
  const Played played = playAnswering(bumpyMap().json(), script,
                                      {"--lockstep", "--reply-timeout", "0", "--record",
                                       dir.file("game.jsonl"), "--results", dir.file("results.json")},
                                      2);
  ASSERT_EQ(played.ending.status, 0) << played.ending.err;
  const Ending verified = runReplay({"verify", dir.file("game.jsonl")});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_TRUE(
      std::regex_match(verified.out, std::regex("verified: 2 runs, \\d+ messages, \\d+ steps identical\n")))
      << verified.out;

  const std::string results = readFile(dir.file("results.json"));
  EXPECT_EQ(resultRuns(results), roundLines(played.ending.out));
  EXPECT_EQ(resultRuns(results).size(), 2u);
  EXPECT_NE(results.find("\"bounces\": {\"boulder\": 1"), std::string::npos) << results;
  EXPECT_NE(results.find("\"status\": \"completed\""), std::string::npos);
  EXPECT_EQ(runReplay({"results", dir.file("game.jsonl")}).out, results);

  // Move the sixth message one millisecond later.
  std::vector<std::string> lines = linesOf(readFile(dir.file("game.jsonl")));
  int messages = 0;
  std::string moved;
  for (std::string& line : lines) {
    if (line.rfind("{\"type\":\"msg\"", 0) != 0 || ++messages != 6) continue;
    const std::size_t t = line.find("\"t\":") + 4;
    const std::size_t comma = line.find(',', t);
    line.replace(t, comma - t, std::to_string(std::stol(line.substr(t, comma - t)) + 1));
    moved = line;
  }
  std::string tampered;
  for (const std::string& line : lines) tampered += line + "\n";
  writeFile(dir.file("tampered.jsonl"), tampered);
  const Ending caught = runReplay({"verify", dir.file("tampered.jsonl")});
  EXPECT_EQ(caught.status, 1);
  EXPECT_NE(caught.err.find("differs at line"), std::string::npos) << caught.err;
  EXPECT_NE(caught.err.find("record: " + moved), std::string::npos) << caught.err;
}

// In real time the record holds when input landed, so the game replays too,
// also from a gzip record; a client that vanishes mid-run still leaves a
// results file that says so, and a record that verifies up to the failure.
TEST(Records, RealTimeGameThatFailsStillVerifies) {
  Scratch dir;
  MapDesc map = bumpyMap();
  map.timeLimit = "1500";
  Session session(map.json(), true,
                  {"--record", dir.file("game.jsonl.gz"), "--results", dir.file("results.json")});
  int telemetry = 0;
  std::size_t seen = 0;
  bool secondRun = false;
  while (!secondRun && session.client().readMore()) {
    const std::vector<Message> messages = parseMessages(session.client().received());
    for (; seen < messages.size(); ++seen) {
      if (messages[seen].letter == "T") session.client().send(script(++telemetry));
      if (messages[seen].letter == "E") secondRun = true;
    }
  }
  // Close during the pause: the next run start's drain finds the end of stream.
  session.client().shutdownSend();
  const Ending ending = session.finish();
  ASSERT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  const std::string results = readFile(dir.file("results.json"));
  EXPECT_NE(results.find("\"status\": \"failed\""), std::string::npos) << results;
  EXPECT_NE(results.find("\"line\": \"uncaught exception: Fail\""), std::string::npos) << results;
  EXPECT_NE(results.find("\"message\": \"EOF\""), std::string::npos) << results;
  EXPECT_EQ(resultRuns(results), roundLines(ending.out));
  const Ending verified = runReplay({"verify", dir.file("game.jsonl.gz")});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_NE(verified.out.find("verified: 1 runs"), std::string::npos) << verified.out;
}

// A client that never ends a reply: every reply it owes is late, and the
// results, the record's summary and its late lines all count the same.
TEST(Records, LateRepliesAreCountedAlike) {
  Scratch dir;
  MapDesc map = bumpyMap();
  map.timeLimit = "1000";
  map.runs.resize(1);
  Session session(map.json(), true,
                  {"--lockstep", "--reply-timeout", "2", "--record", dir.file("game.jsonl"), "--results",
                   dir.file("results.json")});
  session.client().send("a");
  ASSERT_EQ(session.finish().status, 0);
  const std::string record = readFile(dir.file("game.jsonl"));
  std::size_t late = 0;
  for (const std::string& line : linesOf(record)) late += line.rfind("{\"type\":\"late\"", 0) == 0;
  // T at 0, 100, ..., 1000; the last is sent in the game's final instant and is not awaited.
  EXPECT_EQ(late, 10u);
  EXPECT_NE(readFile(dir.file("results.json")).find("\"late_replies\": 10}"), std::string::npos);
  EXPECT_NE(runReplay({"summary", dir.file("game.jsonl")}).out.find("late replies = 10"), std::string::npos);
  EXPECT_EQ(runReplay({"verify", dir.file("game.jsonl")}).status, 0);
}

// A record cut short, as a killed server leaves it (a gzip stream without
// its end, or a last line without its newline), still reads as far as it
// goes: its finished runs summarise and rebuild their results with status 0
// (the tournament relies on it), and verify as far as they go with status 2.
TEST(Records, TruncatedRecordReadsAsFarAsItGoes) {
  Scratch dir;
  const Played played =
      playAnswering(bumpyMap().json(), script,
                    {"--lockstep", "--reply-timeout", "0", "--record", dir.file("g.jsonl.gz")}, 2);
  ASSERT_EQ(played.ending.status, 0);
  const std::string whole = readFile(dir.file("g.jsonl.gz"));
  writeFile(dir.file("cut.jsonl.gz"), whole.substr(0, whole.size() * 3 / 4));
  const std::string& plain = goodRecord();
  writeFile(dir.file("cut.jsonl"),
            plain.substr(0, plain.find('\n', plain.rfind("\"type\":\"run_end\"")) - 5));
  for (const std::string cut : {"cut.jsonl.gz", "cut.jsonl"}) {
    SCOPED_TRACE(cut);
    const Ending summary = runReplay({"summary", dir.file(cut)});
    EXPECT_EQ(summary.status, 0) << summary.err;
    EXPECT_NE(summary.out.find("run 1: "), std::string::npos) << summary.out;
    EXPECT_NE(summary.out.find("game: failed (the record ends without a footer"), std::string::npos)
        << summary.out;
    const Ending results = runReplay({"results", dir.file(cut)});
    EXPECT_EQ(results.status, 0) << results.err;
    EXPECT_NE(results.out.find("\"status\": \"failed\""), std::string::npos) << results.out;
    // Identical as far as it goes, but unfinished: status 2.
    const Ending verified = runReplay({"verify", dir.file(cut)});
    EXPECT_EQ(verified.status, 2) << verified.err;
    EXPECT_NE(verified.out.find("the record ends without a footer"), std::string::npos) << verified.out;
  }
}

// The header and the "I" line reach a .gz record as the game starts: a
// server killed with SIGKILL in its first run leaves a record that reads as
// a game that did not finish, and verifies as far as it goes.
TEST(Records, GzipRecordOfAServerKilledInItsFirstRunHoldsItsStart) {
  Scratch dir;
  Session session(bumpyMap().json(), true,
                  {"--lockstep", "--reply-timeout", "0", "--record", dir.file("game.jsonl.gz")});
  // The first T is out and its reply never comes: the server waits in run 1.
  ASSERT_TRUE(session.client().readUntil("T 0 "));
  const auto deadline = std::chrono::steady_clock::now() + testing::kStartBound;
  while (runReplay({"summary", dir.file("game.jsonl.gz")}).status != 0) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no header reached the record";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  session.server().kill(SIGKILL);
  EXPECT_EQ(session.server().waitForExit(), -SIGKILL);
  const Ending summary = runReplay({"summary", dir.file("game.jsonl.gz")});
  EXPECT_EQ(summary.status, 0) << summary.err;
  EXPECT_EQ(summary.out, "game: failed (the record ends without a footer: the game did not finish)\n");
  const Ending verified = runReplay({"verify", dir.file("game.jsonl.gz")});
  EXPECT_EQ(verified.status, 2) << verified.err;
  EXPECT_EQ(verified.out,
            "verified up to line 2: 0 runs, 1 messages, 0 steps identical; the record ends without a footer "
            "(the game did not finish)\n");
}

TEST(Records, UnwritableResultsFailBeforeTheSocketOpens) {
  TempFile map(quickMap().json());
  const Ending ending = runWithoutClient({"--results", "/nonexistent-folder/results.json", map.path()});
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.out, "");  // no waiting line: the socket was never opened
  EXPECT_EQ(ending.err,
            "ERROR: cannot write /nonexistent-folder/results.json: No such file or directory (noent)\n");
}

// The picture is well-formed XML with the title, the speed-coloured path,
// the bounce and end markers and, with --at, the view ellipse.
TEST(Records, DrawingIsAnSvgOfTheRun) {
  Scratch dir;
  const Played played = playAnswering(
      bumpyMap().json(), script, {"--lockstep", "--reply-timeout", "0", "--record", dir.file("g.jsonl")}, 2);
  ASSERT_EQ(played.ending.status, 0);
  const Ending drawn =
      runReplay({"draw", dir.file("g.jsonl"), "--run", "1", "--at", "1500", "-o", dir.file("run.svg")});
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  TempFile check(R"(import sys, xml.etree.ElementTree as E
root = E.parse(sys.argv[1]).getroot()
ns = "{http://www.w3.org/2000/svg}"
ids = {e.get("id") for e in root.iter()}
classes = {c for e in root.iter() for c in (e.get("class") or "").split()}
title = root.find(ns + "text").text
segments = len(root.find(".//" + ns + "g[@id='rover-path']"))
print(title, segments > 20, sorted(ids & {"view", "terrain", "legend", "scale", "start"}), sorted(classes & {"bounce", "end", "boulder", "martian-path"}))
)",
                 ".py");
  testing::ChildProcess python(ROVER_PYTHON, {check.path(), dir.file("run.svg")});
  ASSERT_EQ(python.waitForExit(), 0) << python.stderrText();
  const std::vector<std::string> rounds = roundLines(played.ending.out);
  ASSERT_FALSE(rounds.empty());
  const std::string outcome = rounds[0].substr(0, rounds[0].find('/'));
  EXPECT_EQ(python.stdoutText(), "Run 1: " + outcome +
                                     "; score = " + rounds[0].substr(rounds[0].find('/') + 1) +
                                     "; time = 3000 ms; view at 1500 ms True ['legend', 'scale', 'start', "
                                     "'terrain', 'view'] ['boulder', 'bounce', 'end', 'martian-path']\n");
}

struct BadRecordCase {
  const char* name;
  // Turns a good record's text into a bad one.
  std::string (*spoil)(const std::string& good);
  int status;
  const char* report;  // a regular expression for the one line on standard error (or out)
};

void PrintTo(const BadRecordCase& c, std::ostream* out) {
  *out << c.name;
}

class BadRecords : public ::testing::TestWithParam<BadRecordCase> {};

// Broken records give one line naming the place and the trouble; a record
// cut short (a game that died) still verifies as far as it goes, with status 2.
TEST_P(BadRecords, GiveOneClearLine) {
  const std::string& good = goodRecord();
  ASSERT_FALSE(good.empty());
  Scratch dir;
  writeFile(dir.file("bad.jsonl"), GetParam().spoil(good));
  const Ending ending = runReplay({"verify", dir.file("bad.jsonl")});
  EXPECT_EQ(ending.status, GetParam().status);
  const std::string& said = GetParam().status != 1 ? ending.out : ending.err;
  EXPECT_TRUE(std::regex_match(said, std::regex(GetParam().report))) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Records, BadRecords,
    ::testing::Values(
        BadRecordCase{
            "CutInTheSecondRun",
            [](const std::string& g) { return g.substr(0, g.rfind("\"type\":\"run_start\"") + 200); }, 2,
            "verified up to line \\d+: 1 runs, \\d+ messages, \\d+ steps identical; the record ends without "
            "a "
            "footer \\(the game did not finish\\)\n"},
        BadRecordCase{"GarbageLine",
                      [](const std::string& g) {
                        const std::size_t third = g.find('\n', g.find('\n', g.find('\n') + 1) + 1);
                        return g.substr(0, third + 1) + "{\"type\": \"msg\", oops\n" + g.substr(third + 1);
                      },
                      1, "replay: .*bad\\.jsonl:4: not JSON \\(.*\\)\n"},
        BadRecordCase{"NewerFormat",
                      [](const std::string& g) {
                        std::string s = g;
                        s.replace(s.find("\"version\":1"), 11, "\"version\":2");
                        return s;
                      },
                      1, "replay: .*bad\\.jsonl:1: record format version 2 is not supported .*\n"},
        BadRecordCase{"OtherServerVersion",
                      [](const std::string& g) {
                        std::string s = g;
                        const std::size_t at = s.find("\"server\":\"") + 10;
                        s.replace(at, s.find('"', at) - at, "0.0.1");
                        return s;
                      },
                      1, "replay: .*bad\\.jsonl:1: written by server 0\\.0\\.1; this replay is version .*\n"},
        BadRecordCase{"Empty", [](const std::string&) { return std::string(); }, 1,
                      "replay: .*bad\\.jsonl:1: the record is empty \\(no header line\\)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// `text` as a gzip member, followed by a member whose data is corrupt: a
// reader that decompressed past the first impossible line would report the
// corruption instead of that line.
std::string gzipThenCorrupt(const std::string& text) {
  z_stream zip{};
  deflateInit2(&zip, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zip, text.size()), '\0');
  zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zip.avail_in = static_cast<uInt>(text.size());
  zip.next_out = reinterpret_cast<Bytef*>(out.data());
  zip.avail_out = static_cast<uInt>(out.size());
  deflate(&zip, Z_FINISH);
  out.resize(zip.total_out);
  deflateEnd(&zip);
  // A gzip header, then a deflate block of the reserved type 3.
  return out + std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\xff\xff\xff\xff", 14);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The number (from 1) of the first line that starts with `prefix`, from line `after` on.
std::size_t lineStarting(const std::vector<std::string>& lines, const std::string& prefix,
                         std::size_t after = 1) {
  for (std::size_t i = after - 1; i < lines.size(); ++i) {
    if (lines[i].rfind(prefix, 0) == 0) return i + 1;
  }
  return 0;
}

struct ImpossibleCase {
  const char* name;
  // Spoils a good record's lines; returns what follows "FILE:" in the one
  // line every command must print.
  std::string (*spoil)(std::vector<std::string>& lines);
  std::vector<std::string> limits;
};

void PrintTo(const ImpossibleCase& c, std::ostream* out) {
  *out << c.name;
}

class ImpossibleLines : public ::testing::TestWithParam<ImpossibleCase> {};

// Every command of replay reads a record alike: it stops at the first line
// that cannot belong to a record with one line naming it, status 1, nothing
// on standard output and no picture, before it decompresses the rest.
TEST_P(ImpossibleLines, StopEveryCommandThere) {
  std::vector<std::string> lines = linesOf(goodRecord());
  ASSERT_GT(lines.size(), 10u);
  const std::string where = GetParam().spoil(lines);
  Scratch dir;
  const std::string record = dir.file("bad.jsonl.gz");
  writeFile(record, gzipThenCorrupt(joined(lines)));
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"summary"}, {"results"}, {"verify"}, {"draw", "--run", "1", "-o", dir.file("run.svg")}}) {
    args.insert(args.begin() + 1, record);
    args.insert(args.end(), GetParam().limits.begin(), GetParam().limits.end());
    SCOPED_TRACE(args[0]);
    const Ending ending = runReplay(args);
    EXPECT_EQ(ending.status, 1);
    EXPECT_EQ(ending.out, "");
    EXPECT_EQ(ending.err, "replay: " + record + ":" + where + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("run.svg")));
}

INSTANTIATE_TEST_SUITE_P(
    Records, ImpossibleLines,
    ::testing::Values(
        // 100,000 deep: a recursive parser runs out of stack.
        ImpossibleCase{"NestedDeep",
                       [](std::vector<std::string>& lines) {
                         lines.insert(lines.begin() + 2, "{\"type\":\"msg\",\"run\":0,\"t\":0,\"text\":" +
                                                             std::string(100000, '[') +
                                                             std::string(100000, ']') + "}");
                         return std::string("3: nested deeper than 64 levels");
                       },
                       {}},
        ImpossibleCase{"EmptyLine",
                       [](std::vector<std::string>& lines) {
                         lines.insert(lines.begin() + 2, "");
                         return std::string("3: an empty line (a record has none)");
                       },
                       {}},
        ImpossibleCase{"LineAfterTheFooter",
                       [](std::vector<std::string>& lines) {
                         lines.push_back(lines[2]);
                         return std::to_string(lines.size()) + ": a line after the footer";
                       },
                       {}},
        ImpossibleCase{"UnknownType",
                       [](std::vector<std::string>& lines) {
                         lines[2] = "{\"type\":\"x\",\"run\":0,\"t\":0}";
                         return std::string("3: unknown line type \"x\"");
                       },
                       {}},
        // Texts that would reach the picture.
        ImpossibleCase{"ScriptAsAnObjectKind",
                       [](std::vector<std::string>& lines) {
                         const std::size_t at = lines[0].find("\"kind\":\"boulder\"");
                         lines[0].replace(at, 16, "\"kind\":\"\\\"><script>alert(1)</script>\"");
                         return std::string("1: unknown object \"kind\"");
                       },
                       {}},
        ImpossibleCase{"ScriptAsAnOutcome",
                       [](std::vector<std::string>& lines) {
                         const std::size_t n = lineStarting(lines, "{\"type\":\"run_end\"");
                         std::string& line = lines[n - 1];
                         const std::size_t from = line.find("\"outcome\":\"") + 11;
                         line.replace(from, line.find('"', from) - from, "<script>alert(1)</script>");
                         return std::to_string(n) + ": \"outcome\" does not match \"code\"";
                       },
                       {}},
        ImpossibleCase{"RunsOutOfOrder",
                       [](std::vector<std::string>& lines) {
                         const std::size_t first = lineStarting(lines, "{\"type\":\"run_end\"");
                         const std::size_t n = lineStarting(lines, "{\"type\":\"run_end\"", first + 1);
                         std::string& line = lines[n - 1];
                         line.replace(line.find("\"run\":2,"), 8, "\"run\":1,");
                         return std::to_string(n) + ": runs out of order";
                       },
                       {}},
        // The limits, lowered with their options.
        ImpossibleCase{"LongerThanTheLineLimit",
                       [](std::vector<std::string>&) {
                         return std::string("1: longer than the line limit of 1024 bytes (--max-line)");
                       },
                       {"--max-line", "1K"}},
        ImpossibleCase{
            "BeyondTheSizeLimit",
            [](std::vector<std::string>& lines) {
              std::size_t size = 0, n = 0;
              while (size <= 8192) size += lines[n++].size() + 1;
              return std::to_string(n) +
                     ": the record holds more than 8192 bytes of text, the size limit (--max-size)";
            },
            {"--max-size", "8K"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rover::e2e
