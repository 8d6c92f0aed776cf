#pragma once

#include <string_view>

namespace rover {

// Where a record writer's lines go: a file (RecordSink), or, when a replay
// verifies a record, a comparison with the recorded lines.
class RecordOutput {
 public:
  virtual ~RecordOutput() = default;
  // Whole lines, each ended by "\n".
  virtual void write(std::string_view bytes) = 0;
  // At the game's start: what is written so far goes on its way without the
  // game waiting for it.
  virtual void handOver() {}
  // At every "T", once sent: the same, for a file that spectators follow
  // while the game is played. A file written in the game's own thread (the
  // library's) ignores it rather than wait for the disk at every T.
  virtual void telemetrySent() {}
  // At every run end: what is written so far must survive the process.
  virtual void flush() = 0;
  // After the footer.
  virtual void close() = 0;
};

}  // namespace rover
