// The whole byte stream of a game, and its result lines, against files kept
// in tests/driver/golden. A change anywhere in the simulation, the schedule
// or the messages shows up here as the first message that differs.
//
// To accept a deliberate change, run the test with ROVER_UPDATE_GOLDEN=1 and
// review the diff of the files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game_fixture.h"

namespace rover {
namespace {

using testing::GameHarness;

// Three runs: a bounce off a boulder, a drive home past a Martian, and a
// crater; the Martians wander by the seed.
constexpr const char* kGoldenMap = R"({
  "size": 80, "timeLimit": 4000,
  "vehicleParams": {"maxSpeed": 10, "accel": 4, "brake": 6, "turn": 20, "hardTurn": 60,
                    "rotAccel": 120, "frontView": 25, "rearView": 5},
  "martianParams": {"maxSpeed": 4, "accel": 2, "brake": 4, "turn": 30, "hardTurn": 90,
                    "rotAccel": 200, "frontView": 10, "rearView": 10},
  "craters": [{"x": -15, "y": -15, "r": 3}, {"x": 20, "y": -10, "r": 2}],
  "boulders": [{"x": 15, "y": 10, "r": 2}, {"x": 0, "y": 20, "r": 3}],
  "runs": [
    {"vehicle": {"x": 25, "y": 10, "dir": 180},
     "enemies": [{"x": -10, "y": 10, "dir": 0, "speed": 1, "view": 5},
                 {"x": 10, "y": -20, "dir": 90, "speed": 2, "view": 30},
                 {"x": 30, "y": 30, "dir": -135, "speed": 0, "view": 0}]},
    {"vehicle": {"x": -25, "y": 2, "dir": 0},
     "enemies": [{"x": -12, "y": 8, "dir": -90, "speed": 1.5, "view": 10}]},
    {"vehicle": {"x": -15, "y": -28, "dir": 90}, "enemies": []}
  ]
})";

// Accelerates at every run start; in the first run (its 42 "T" messages,
// one after the bounce) it also turns now and then and brakes late.
std::string reply(int k, const std::string& text) {
  if (text.rfind("T 0 ", 0) == 0) return "a;;";
  if (k > 42) return ";";
  if (k % 13 == 5) return "l;;";
  if (k % 13 == 7) return "r;;";
  if (text.rfind("T 3500 ", 0) == 0) return "b;b;;";
  return ";";
}

// The stream one message per line, then the standard output.
std::string play(std::uint64_t seed) {
  GameHarness h(testing::mapFromText(kGoldenMap), {.seed = seed});
  h.playAnswering(reply);
  std::string text;
  for (const char c : h.transport.sent()) {
    text += c;
    if (c == ';') text += '\n';
  }
  return text + "--- standard output\n" + h.stdoutText.text();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

void expectGolden(const std::string& name, const std::string& got) {
  const std::string path = std::string(ROVER_GOLDEN_DIR) + "/" + name;
  if (std::getenv("ROVER_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << got;
    GTEST_SKIP() << "wrote " << path;
  }
  const std::vector<std::string> want = lines(readFile(path));
  const std::vector<std::string> have = lines(got);
  ASSERT_FALSE(want.empty()) << path << " is missing or empty";
  for (std::size_t i = 0; i < want.size() && i < have.size(); ++i) {
    ASSERT_EQ(have[i], want[i]) << "first difference at line " << i + 1 << " of " << path;
  }
  ASSERT_EQ(have.size(), want.size()) << "the streams differ in length (" << path << ")";
}

TEST(GoldenStream, DefaultSeed) {
  const std::string got = play(0);
  EXPECT_NE(got.find("\nB "), std::string::npos);
  expectGolden("seed_0.txt", got);
}

TEST(GoldenStream, Seed42) {
  const std::string got = play(42);
  EXPECT_NE(got, play(0)) << "another seed must move the Martians otherwise";
  expectGolden("seed_42.txt", got);
}

}  // namespace
}  // namespace rover
