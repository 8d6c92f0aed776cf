// Every input the command-reader fuzzer kept, and hand-made ones, replayed
// through the reader and the framing model without libFuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "command_stream_check.h"

namespace rover::fuzzing {
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
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) expected[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return expected;
}

// Each input must agree with the model throughout and still do what it did
// when it was kept, so that it goes on reaching the rule it was kept for.
TEST(CommandFuzzRegressions, EveryKeptInputAgreesWithTheModel) {
  const std::filesystem::path folder = ROVER_COMMAND_REGRESSIONS;
  const std::map<std::string, std::string> expected = expectedOutcomes(folder);
  std::set<std::string> failures;
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".bin") continue;
    const std::string name = entry.path().filename().string();
    const StreamCheck check = checkCommandStream(readFile(entry.path()));
    EXPECT_EQ(check.mismatch, "") << name;
    const auto recorded = expected.find(name);
    if (recorded == expected.end()) {
      ADD_FAILURE() << name << " has no recorded outcome; it gave\n" << name << '\t' << check.outcome;
    } else {
      EXPECT_EQ(check.outcome, recorded->second) << name;
    }
    failures.insert(check.outcome.substr(check.outcome.find(": ") + 2));
    ++replayed;
  }
  EXPECT_EQ(replayed, expected.size()) << "a recorded input is missing from " << folder;
  // Between them the inputs reach every way the framing can fail.
  for (const char* failure :
       {"Fail: EOF", "Fail: bogus command exceeds max length", "Fail: excessive input"}) {
    EXPECT_TRUE(failures.contains(failure)) << failure;
  }
  EXPECT_TRUE(std::any_of(failures.begin(), failures.end(),
                          [](const std::string& f) { return f.starts_with("Fail: illegal command"); }));
}

}  // namespace
}  // namespace rover::fuzzing
