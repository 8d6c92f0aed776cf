// Feeds arbitrary bytes to the map loader: it must load or raise a Failure.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/failure.h"
#include "map/map_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rover::MemoryByteSource source(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    const rover::MapSpec map = rover::loadMapFrom(source);
    rover::startRun(map, 1, rover::makeWorldRules(map).statics);
  } catch (const rover::Failure&) {
  }
  return 0;
}
