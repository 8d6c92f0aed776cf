#pragma once

#include "record/game_info.h"
#include "record/record_lines.h"
#include "record_file.h"

namespace rover::replay {

// What the first line of a record says: the game (with the map file's bytes
// as the server read them) and the map as loaded.
struct RecordHeader {
  GameInfo info;
  MapEntry map;
};

// Reads and checks the header: the format's name and version (the one this
// program reads), the map's bytes against their digest. Fails with a detail
// naming line 1 and what is wrong.
RecordHeader readHeader(const RecordFile& record);

}  // namespace rover::replay
