#include <gtest/gtest.h>

#include <string>

#include "server_process.h"

namespace rover::testing {
namespace {

struct ToolRun {
  std::optional<int> status;
  std::string out;
  std::string err;
};

ToolRun mapcheck(const std::vector<std::string>& args) {
  ChildProcess child(toolPath("mapcheck"), args);
  ToolRun run;
  run.status = child.waitForExit();
  run.out = child.stdoutText();
  run.err = child.stderrText();
  return run;
}

TEST(Mapcheck, GoodMapSummary) {
  TempFile map(R"({"size": 100, "timeLimit": 30000,
    "vehicleParams": {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60, "rotAccel": 120,
                      "frontView": 30, "rearView": 5},
    "martianParams": {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60, "rotAccel": 120,
                      "frontView": 30, "rearView": 5},
    "craters": [{"x": 1, "y": 2, "r": 3}, {"x": 4, "y": 5, "r": 6}],
    "boulders": [{"x": 7, "y": 8, "r": 1}],
    "runs": [{"vehicle": {"x": 30.1, "y": 0, "dir": 540}, "enemies": []},
             {"vehicle": {"x": -20, "y": 25, "dir": 0},
              "enemies": [{"x": 1, "y": 1, "dir": 0, "speed": 0, "view": 5},
                          {"x": 2, "y": 2, "dir": 0, "speed": 0, "view": 5}]}]})");
  ToolRun run = mapcheck({map.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, map.path() +
                         ": map is good\n"
                         "  size:       100 (terrain from -50 to 50)\n"
                         "  time limit: 30000 ms\n"
                         "  craters:    2\n"
                         "  boulders:   1\n"
                         "  runs:       2\n"
                         "    run 1: rover at (30.1, 0) heading 180, Martians: 0\n"
                         "    run 2: rover at (-20, 25) heading 0, Martians: 2\n");
}

TEST(Mapcheck, LongRunListIsCutToOneScreen) {
  std::string runs;
  for (int i = 0; i < 25; ++i)
    runs += std::string(i ? "," : "") + R"({"vehicle": {"x": 0, "y": 0, "dir": 0}, "enemies": []})";
  TempFile map(R"({"size": 10, "timeLimit": 1, "craters": [], "boulders": [],
    "vehicleParams": {"maxSpeed": 1, "accel": 1, "brake": 1, "turn": 1, "hardTurn": 1, "rotAccel": 1,
                      "frontView": 1, "rearView": 1},
    "martianParams": {"maxSpeed": 1, "accel": 1, "brake": 1, "turn": 1, "hardTurn": 1, "rotAccel": 1,
                      "frontView": 1, "rearView": 1}, "runs": [)" +
               runs + "]}");
  ToolRun run = mapcheck({map.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("  runs:       25\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("    run 20: "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("    run 21: "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("    ... and 5 more runs\n"), std::string::npos) << run.out;
}

struct BadCase {
  const char* contents;
  const char* expected;  // the line after the file name
};

class MapcheckBadMaps : public ::testing::TestWithParam<BadCase> {};

TEST_P(MapcheckBadMaps, KindMessageAndPlace) {
  TempFile map(GetParam().contents);
  ToolRun run = mapcheck({map.path()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, map.path() + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MapcheckBadMaps,
    ::testing::Values(
        BadCase{"{\"size\": 1,\n \"timeLimit\" 5}", ":2:14: Fail: error parsing field\n"},
        BadCase{"{\"size\": 1,\n \"timeLimit\": 5 \"x\": 1}", ":2:17: Fail: error parsing object\n"},
        BadCase{"{\"size\": 1,\n  \"timeLimit\": 5}",
                ":1:1: Fail: no definition for field \"vehicleParams\"\n"},
        BadCase{"{\"size\": 1, \"timeLimit\": 5.0}", ":1:26: Fail: \"timeLimit\": expected an integer\n"},
        BadCase{"\n  \"\\q\"", ":2:4: Fail: lexer reached a stuck state\n"},
        BadCase{"{\"size\":\n\xe9}", ":2:1: Incomplete: bytes that are not valid UTF-8\n"},
        // A "//" note hides the member after its comma; the hint names it,
        // but not for "//" inside a string (an escaped quote before it).
        BadCase{
            "{\"size\": 100,  // side, centred on the origin\n \"timeLimit\": 60000}",
            ":1:1: Fail: no definition for field \"timeLimit\"\n"
            "hint: the map holds \"//\" outside its strings; JSON has no // comments (a note with a comma in "
            "it hides the member after it): remove the notes, or write them as /* ... */\n"},
        BadCase{"{\"size\": \"http:\\\"//\", \"timeLimit\": 1}",
                ":1:10: Fail: \"size\": expected a number\n"}));

TEST(Mapcheck, MissingFileAndUsage) {
  ToolRun run = mapcheck({"/nonexistent/map.json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "/nonexistent/map.json: Io: No such file or directory\n");
  run = mapcheck({});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "usage: mapcheck [--json] file\n");
}

}  // namespace
}  // namespace rover::testing
