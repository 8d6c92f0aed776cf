// The timing file (docs/timing.md) of a real-time game played on the test
// clock and the in-memory transport: how late each "T" left, exactly, from a
// schedule of clock readings, and which polls found input. (Lockstep reply
// times depend on the wall clock: tests/e2e/options_test.cpp checks them.)
#include "record/timing_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/version.h"
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

GameInfo realTimeGame() {
  GameInfo info;
  info.seed = 9;
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
  OutputFiles outputs;
  OutputFile& file = outputs.claim("--timing", scratch.file("t.json"), OutputKind::Whole);
  outputs.openAll();
  TimingWriter timing(file, realTimeGame());
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

}  // namespace
}  // namespace rover
