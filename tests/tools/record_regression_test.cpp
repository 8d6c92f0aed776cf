// Every input the record fuzzer kept, read with every command of the replay
// tool: each must end in a result or a clear failure, never a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "record_reading.h"

namespace rover::replay {
namespace {

TEST(RecordFuzzRegressions, EveryKeptInputReadsWithoutACrash) {
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ROVER_RECORD_REGRESSIONS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_NO_THROW(readEveryWay(bytes.str()));
    ++replayed;
  }
  EXPECT_GT(replayed, 0u) << "no kept inputs in " << ROVER_RECORD_REGRESSIONS;
}

}  // namespace
}  // namespace rover::replay
