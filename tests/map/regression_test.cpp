#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "map_test_support.h"

namespace rover::testing {
namespace {

// Inputs the fuzzer found interesting (crashes, hangs, deep or odd input),
// kept so that every build replays them. A file must load or fail with one
// of the map's failure kinds; anything else is a defect.
TEST(FuzzRegressions, EveryKeptInputLoadsOrFailsCleanly) {
  std::filesystem::path folder = ROVER_MAP_REGRESSIONS;
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string outcome = outcomeOf([&] { loadText(bytes.str()); });
    std::string kind = outcome.substr(0, outcome.find(':'));
    EXPECT_TRUE(kind == "ok" || kind == "Fail" || kind == "Incomplete" || kind == "Empty")
        << entry.path() << ": " << outcome;
    ++count;
  }
  EXPECT_GT(count, 0u) << "no regression inputs found in " << folder;
}

}  // namespace
}  // namespace rover::testing
