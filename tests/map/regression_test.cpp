#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "map_test_support.h"

namespace rover::testing {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// File name -> the outcome recorded when the input was kept.
std::map<std::string, std::string> expectedOutcomes(const std::filesystem::path& folder) {
  std::map<std::string, std::string> expected;
  std::istringstream lines(readFile(folder / "expected_outcomes.tsv"));
  std::string line;
  while (std::getline(lines, line)) {
    std::size_t tab = line.find('\t');
    if (tab != std::string::npos) expected[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return expected;
}

// Inputs the fuzzer found interesting (one per distinct outcome), plus
// hand-made hostile ones, kept so that every build replays them through the
// loader. Each must give the outcome recorded for it; no input may crash.
TEST(FuzzRegressions, EveryKeptInputGivesItsRecordedOutcome) {
  std::filesystem::path folder = ROVER_MAP_REGRESSIONS;
  std::map<std::string, std::string> expected = expectedOutcomes(folder);
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".json") continue;
    std::string name = entry.path().filename().string();
    std::string outcome = outcomeOf([&] { loadText(readFile(entry.path())); });
    auto recorded = expected.find(name);
    ASSERT_NE(recorded, expected.end()) << name << " has no recorded outcome; it gave " << outcome;
    EXPECT_EQ(outcome, recorded->second) << name;
    ++replayed;
  }
  EXPECT_EQ(replayed, expected.size()) << "a recorded input is missing from " << folder;
}

}  // namespace
}  // namespace rover::testing
