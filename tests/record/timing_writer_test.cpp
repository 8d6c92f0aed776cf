// The timing file (docs/timing.md) of games played on the test clock and the
// in-memory transport. Real time: how late each "T" left, exactly, from a
// schedule of clock readings. Lockstep: every reply awaited is counted once,
// in its run, as in time, ahead or late.
#include "record/timing_writer.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <unistd.h>

#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include "base/version.h"
#include "driver/top_level_report.h"
#include "game_fixture.h"

namespace rover {
namespace {

using testing::GameHarness;

// A folder of its own for the files a test writes.
class Scratch {
 public:
  Scratch() {
    char pattern[] = "/tmp/rover_timing_XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~Scratch() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

GameInfo gameInfo(bool lockstep) {
  GameInfo info;
  info.lockstep = lockstep;
  info.seed = 9;
  if (lockstep) info.replyTimeoutMillis = 2000;
  info.map.sha256 = "00ff";
  return info;
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One run of 330 ms: "T" at 0, 100, 200 and 300, polls at 50 to 300. The
// clock is read late at the first "T" (37 ms) and the third (51 ms); a poll
// that only applies bytes received earlier found no input.
TEST(TimingFile, RealTimeLatenessAgainstTheSchedule) {
  Scratch scratch;
  TimingWriter timing(scratch.file("t.json"), gameInfo(false));
  GameHarness h(testing::makeTestMap(330, {{}}), {.receives = &timing});
  h.listeners.add(timing);
  timing.watch(h.game, h.clock);
  h.game.start();
  const TimeValue origin = h.clock.now();
  h.runAt(origin, 1037);  // the run starts at 1000: "T 0" leaves 37 ms late
  h.transport.pushInput("a;");
  h.runAt(origin, 1100);  // the poll at 50 receives and applies "a"; the one at 100 finds nothing
  h.transport.pushInput(";b;");
  h.runAt(origin, 1251);  // the poll at 150 stops at the bare ";"; the one at 200 applies "b"
  h.runAt(origin, 1300);
  h.runAt(origin, 1330);  // the time limit
  ASSERT_TRUE(h.game.finished());
  h.listeners.gameEnded({GameEnding::Status::Completed, "", std::nullopt});

  EXPECT_EQ(
      fileText(scratch.file("t.json")),
      "{\n"
      "  \"format\": \"rover-timing\",\n"
      "  \"version\": 1,\n"
      "  \"server\": \"" +
          std::string(serverVersion()) +
          "\",\n"
          "  \"map\": {\"sha256\": \"00ff\"},\n"
          "  \"mode\": \"realtime\",\n"
          "  \"seed\": 9,\n"
          "  \"reply_timeout_ms\": null,\n"
          "  \"bucket_edges_us\": [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000, "
          "50000, 100000, 200000, 500000, 1000000, 2000000, 5000000, 10000000, 20000000, 50000000],\n"
          "  \"runs\": [\n"
          "    {\"number\": 1, \"ended\": true, \"commands\": 2, \"polls\": 6, \"polls_with_input\": 2, "
          "\"telemetry\": 4, \"telemetry_late_us\": {\"counts\": [2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "
          "0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0], \"max\": 51000, \"sum\": 88000}}\n"
          "  ],\n"
          "  \"status\": \"completed\"\n"
          "}\n");
}

// The members of one run entry of a lockstep timing file.
struct LockstepRun {
  int number;
  bool ended;
  std::uint64_t replies, late, ahead, inBuckets;
  bool operator==(const LockstepRun&) const = default;
};

// Shows a run entry when a comparison fails.
void PrintTo(const LockstepRun& r, std::ostream* out) {
  *out << "{run " << r.number << (r.ended ? " ended" : " cut short") << ", replies " << r.replies << ", late "
       << r.late << ", ahead " << r.ahead << ", in buckets " << r.inBuckets << "}";
}

std::vector<LockstepRun> lockstepRuns(const rapidjson::Document& document) {
  std::vector<LockstepRun> runs;
  for (const rapidjson::Value& run : document["runs"].GetArray()) {
    std::uint64_t inBuckets = 0;
    for (const rapidjson::Value& count : run["reply_us"]["counts"].GetArray()) inBuckets += count.GetUint64();
    runs.push_back({run["number"].GetInt(), run["ended"].GetBool(), run["replies"].GetUint64(),
                    run["late_replies"].GetUint64(), run["ahead_replies"].GetUint64(), inBuckets});
  }
  return runs;
}

// Two runs of 1 s (11 "T" each). The client answers "T" 3 twice, so reply 4
// is ahead and from then on each of its replies is read one wait after it
// was sent; then it sends nothing from "T" 16 on: replies 17 and 18 are
// late, and --max-late 2 ends the game in run 2.
TEST(TimingFile, LockstepRepliesByRunUntilAFailure) {
  Scratch scratch;
  TimingWriter timing(scratch.file("t.json"), gameInfo(true));
  LockstepOptions options = LockstepOptions::withTimeoutMillis(2000);
  options.maxLateInARow = 2;
  GameHarness h(testing::makeTestMap(1000, {{}, {}}),
                {.mode = PlayMode::Lockstep, .lockstep = options, .timeReplies = true});
  h.listeners.add(timing);
  try {
    h.playAnswering([&](int k, const std::string&) {
      return std::string(k == 3 ? ";;" : k < 16 ? ";" : "");
    });
    FAIL() << "the game should have ended at reply 18";
  } catch (const Failure& failure) {
    endGameWithFailure(&h.game, h.listeners, "uncaught exception: Fail", failure);
  }
  rapidjson::Document document;
  document.Parse(fileText(scratch.file("t.json")).c_str());
  ASSERT_FALSE(document.HasParseError());
  EXPECT_EQ(std::string(document["mode"].GetString()), "lockstep");
  EXPECT_EQ(document["reply_timeout_ms"].GetInt(), 2000);
  EXPECT_EQ(std::string(document["status"].GetString()), "failed");
  // Replies 1-11 in run 1, 12-18 in run 2, where the failure came.
  const std::vector<LockstepRun> expected = {{1, true, 11, 0, 1, 11}, {2, false, 7, 2, 0, 7}};
  EXPECT_EQ(lockstepRuns(document), expected);
}

}  // namespace
}  // namespace rover
