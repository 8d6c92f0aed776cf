#include "pilot_bot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rover/session.h"

namespace rover::pilot {
namespace {

const std::string kInit = "I 100.000 100.000 30000 5.000 30.000 10.000 20.0 60.0 ;";

struct Recorder {
  std::vector<std::string> lines;
  PilotBot bot{[this](const std::string& line) { lines.push_back(line); }};
  client::Session session{bot};
};

TEST(PilotBot, ReportsEachRunWithItsOutcome) {
  struct Case {
    std::string run;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"T 0 -- 30.000 0.000 180.0 0.000 ;S 5230 ;E 5230 5230 ;",
       "run 1: reached home; time = 5230 ms; score = 5230; bounces = 0"},
      {"T 0 -- 30.000 0.000 180.0 0.000 ;B 70 ;T 70 -- 30.000 0.000 0.0 0.000 ;C 900 ;E 900 60100 ;",
       "run 1: crashed into crater; time = 900 ms; score = 60100; bounces = 1"},
      {"T 0 -- 30.000 0.000 180.0 0.000 ;K 5000 ;E 5000 55600 ;",
       "run 1: killed by Martian; time = 5000 ms; score = 55600; bounces = 0"},
      {"T 0 -- 30.000 0.000 180.0 0.000 ;E 30000 30100 ;",
       "run 1: time limit exceeded; time = 30000 ms; score = 30100; bounces = 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.run);
    Recorder recorder;
    recorder.session.onBytes(kInit + c.run);
    EXPECT_EQ(recorder.lines, std::vector<std::string>{c.line});
    EXPECT_TRUE(recorder.session.canEndHere());
  }
}

TEST(PilotBot, NumbersRunsAndCountsBouncesPerRun) {
  Recorder recorder;
  recorder.session.onBytes(kInit + "T 0 -- 30.000 0.000 180.0 0.000 ;B 10 ;B 20 ;E 30000 30100 ;");
  recorder.session.onBytes("T 0 -- 30.000 0.000 180.0 0.000 ;S 4000 ;E 4000 4000 ;");
  ASSERT_EQ(recorder.lines.size(), 2u);
  EXPECT_EQ(recorder.lines[0], "run 1: time limit exceeded; time = 30000 ms; score = 30100; bounces = 2");
  EXPECT_EQ(recorder.lines[1], "run 2: reached home; time = 4000 ms; score = 4000; bounces = 0");
}

TEST(PilotBot, AtRestFacingHomeItAccelerates) {
  Recorder recorder;
  EXPECT_EQ(recorder.session.onBytes(kInit + "T 0 -- 30.000 0.000 180.0 0.000 ;"), "a;;");
}

}  // namespace
}  // namespace rover::pilot
