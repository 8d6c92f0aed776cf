#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/failure.h"
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

// How a game ended, for a record's footer and a results file.
struct GameEnding {
  enum class Status { Completed, Quit, Failed };
  Status status = Status::Completed;
  std::string line;                // failed: the line printed on standard error, without its newline
  std::optional<Failure> failure;  // failed: what was raised
};

// "completed", "quit" or "failed".
const char* statusName(GameEnding::Status status);

}  // namespace rover
