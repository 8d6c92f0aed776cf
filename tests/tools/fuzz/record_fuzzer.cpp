// Feeds arbitrary bytes to the replay tool as a game record: every command
// must end in a result or a Failure, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "record_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rover::replay::readEveryWay(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
