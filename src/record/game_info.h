#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/version.h"
#include "record/map_bytes.h"

namespace rover {

// What a record's header and a results file say about the game itself.
struct GameInfo {
  std::string server = serverVersion();  // the version that played the game
  bool lockstep = false;
  std::uint64_t seed = 0;
  std::optional<std::uint32_t> replyTimeoutMillis;  // lockstep only
  MapBytes map;
};

}  // namespace rover
