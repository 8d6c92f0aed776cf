#pragma once

#include <string>
#include <vector>

#include "record/game_info.h"
#include "record/record_lines.h"

namespace rover::replay {

// A game record's lines, from a plain or a gzip file (recognised by its first
// bytes, whatever its name).
struct RecordFile {
  std::string path;
  std::vector<std::string> lines;  // each without its "\n"
  // The file ends inside a line (dropped) or inside a gzip stream without
  // its trailer: the game that wrote it did not finish writing.
  bool cutShort = false;
};

// Raises a Failure (kind Io or Fail) with a detail a person can read when
// the file cannot be read or its compressed data is corrupt.
RecordFile readRecordFile(const std::string& path);

// The same for a record's bytes already in memory; `path` only names it.
RecordFile recordFromBytes(std::string bytes, const std::string& path);

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
