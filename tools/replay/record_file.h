#pragma once

#include <string>
#include <vector>

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

}  // namespace rover::replay
