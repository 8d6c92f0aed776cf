#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "record/game_info.h"
#include "record/record_lines.h"
#include "record_stream.h"

namespace rover::replay {

// What the first line of a record says: the game (with the map file's bytes
// as the server read them) and the map as loaded.
struct RecordHeader {
  GameInfo info;
  MapEntry map;
};

// A record read line by line through the typed reader, every line checked
// the same way for every command of replay: the header first (this format
// and version, the map's bytes against their digest, known object kinds),
// then lines of known types only, runs ended in order from 1 and no more
// than the map has, a footer only last and complete. The first line that
// fails stops the reading with a Failure naming the line and the trouble.
class RecordReader {
 public:
  // Reads and checks the header (line 1).
  explicit RecordReader(RecordStream& stream);

  const RecordHeader& header() const { return header_; }
  // Reads the next line after the header; false at the end of the record.
  bool next();
  // The line next() read: its number, its text (without "\n") and what it holds.
  std::size_t number() const { return stream_.lineNumber(); }
  const std::string& text() const { return text_; }
  const RecordEntry& entry() const { return entry_; }
  // The footer, once read: the record of a game that finished.
  const std::optional<FooterLine>& footer() const { return footer_; }
  // At the end: the file stopped inside a line or a gzip stream.
  bool cutShort() const { return stream_.cutShort(); }

 private:
  void check();

  RecordStream& stream_;
  RecordHeader header_;
  std::string text_;
  RecordEntry entry_;
  int runsEnded_ = 0;
  std::optional<FooterLine> footer_;
};

// The message of a record without a footer, where a results document or a
// summary gives the game's failure.
inline constexpr const char* kNoFooter = "the record ends without a footer: the game did not finish";

}  // namespace rover::replay
