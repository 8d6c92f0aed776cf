#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "record_file.h"

namespace rover::replay {

// What the first line of a record says about its game.
struct RecordHeader {
  std::string server;  // the version of the server that wrote it
  bool lockstep = false;
  std::uint64_t seed = 0;
  std::optional<std::uint32_t> replyTimeoutMillis;
  std::string mapBytes;  // the map file as the server read it
  std::string mapSha256;
};

// Reads and checks the header: the format's name and version (the one this
// program reads), the map's bytes against their digest. Fails with a detail
// naming line 1 and what is wrong.
RecordHeader readHeader(const RecordFile& record);

}  // namespace rover::replay
