// The example controllers against the real server on the example maps.
//
// Command timing varies by a poll or two between runs, so a run may now and
// then go differently; the thresholds leave room for that (the controllers
// reach home in nearly every run when developed against these maps).

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "server_process.h"

namespace rover::testing {
namespace {

struct RunLine {
  int number = 0;
  std::string outcome;
  long score = 0;
  int bounces = 0;
};

// Result lines of a controller: "run N: outcome; time = T ms; score = S[; bounces = B]".
std::vector<RunLine> controllerRuns(const std::string& output) {
  static const std::regex line(
      R"(run (\d+): ([a-zA-Z ]+); time = \d+ ms; score = (\d+)(?:; bounces = (\d+))?)");
  std::vector<RunLine> runs;
  for (std::sregex_iterator it(output.begin(), output.end(), line), end; it != end; ++it)
    runs.push_back(RunLine{std::stoi((*it)[1]), (*it)[2], std::stol((*it)[3]),
                           (*it)[4].matched ? std::stoi((*it)[4]) : 0});
  return runs;
}

// Result lines of the server: "Round N: outcome; score = S".
std::vector<RunLine> serverRuns(const std::string& output) {
  static const std::regex line(R"(Round (\d+): ([a-zA-Z ]+); score = (\d+))");
  std::vector<RunLine> runs;
  for (std::sregex_iterator it(output.begin(), output.end(), line), end; it != end; ++it)
    runs.push_back(RunLine{std::stoi((*it)[1]), (*it)[2], std::stol((*it)[3]), 0});
  return runs;
}

// Plays a whole map with a controller and checks that both sides agree on
// every run and end cleanly; returns the controller's runs.
std::vector<RunLine> playMap(const std::string& map, const std::string& program,
                             std::vector<std::string> args, std::vector<std::string> serverArgs = {}) {
  int port = freePort();
  serverArgs.insert(serverArgs.begin(), {"-p", std::to_string(port)});
  serverArgs.push_back(map);
  ChildProcess server(serverPath(), serverArgs);
  EXPECT_TRUE(server.waitForOutput("waiting for client connection")) << server.stderrText();
  args.push_back("localhost");
  args.push_back(std::to_string(port));
  ChildProcess controller(program, args);
  EXPECT_EQ(controller.waitForExit(), 0) << controller.stderrText();
  EXPECT_EQ(server.waitForExit(), 0) << server.stderrText();

  std::vector<RunLine> runs = controllerRuns(controller.stdoutText());
  std::vector<RunLine> refereed = serverRuns(server.stdoutText());
  EXPECT_FALSE(refereed.empty());
  EXPECT_EQ(runs.size(), refereed.size()) << controller.stdoutText() << server.stdoutText();
  for (std::size_t i = 0; i < runs.size() && i < refereed.size(); ++i) {
    EXPECT_EQ(runs[i].number, static_cast<int>(i) + 1);
    EXPECT_EQ(runs[i].outcome, refereed[i].outcome);
    EXPECT_EQ(runs[i].score, refereed[i].score);
  }
  return runs;
}

std::string mapPath(const std::string& name) {
  return std::string(ROVER_MAPS_DIR) + "/" + name + ".json";
}

class PilotOnMap : public ::testing::TestWithParam<std::string> {};

TEST_P(PilotOnMap, ReachesHomeInMostRunsWithoutBouncingAround) {
  std::vector<RunLine> runs = playMap(mapPath(GetParam()), toolPath("pilot"), {});
  ASSERT_FALSE(runs.empty());
  int home = 0;
  for (const RunLine& run : runs) {
    SCOPED_TRACE(run.number);
    home += run.outcome == "reached home";
    EXPECT_LE(run.bounces, 20);
  }
  EXPECT_GE(3 * home, 2 * static_cast<int>(runs.size()))
      << home << " of " << runs.size() << " runs reached home";
}

INSTANTIATE_TEST_SUITE_P(ExampleMaps, PilotOnMap,
                         ::testing::Values("open_plain", "boulder_field", "crater_field", "martian_patrol"));

// In lockstep a game is a pure function of the map and the controller, so
// pilot's result is fixed: home in every run of the boulder field.
TEST(PilotLockstep, FinishesEveryRunOfTheBoulderField) {
  std::vector<RunLine> runs =
      playMap(mapPath("boulder_field"), toolPath("pilot"), {}, {"--lockstep", "--reply-timeout", "0"});
  ASSERT_EQ(runs.size(), 3u);
  for (const RunLine& run : runs) EXPECT_EQ(run.outcome, "reached home") << "run " << run.number;
}

TEST(PythonExample, ReachesHomeOnTheOpenPlainInLockstep) {
  std::vector<RunLine> runs = playMap(mapPath("open_plain"), ROVER_PYTHON, {ROVER_PYTHON_EXAMPLE},
                                      {"--lockstep", "--reply-timeout", "0"});
  ASSERT_FALSE(runs.empty());
  for (const RunLine& run : runs) EXPECT_EQ(run.outcome, "reached home") << "run " << run.number;
}

TEST(PythonExample, ReachesHomeOnTheOpenPlain) {
  std::vector<RunLine> runs = playMap(mapPath("open_plain"), ROVER_PYTHON, {ROVER_PYTHON_EXAMPLE});
  ASSERT_FALSE(runs.empty());
  for (const RunLine& run : runs) EXPECT_EQ(run.outcome, "reached home") << "run " << run.number;
}

}  // namespace
}  // namespace rover::testing
