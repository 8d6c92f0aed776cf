#pragma once

#include <zlib.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "record/record_output.h"

namespace rover {

// Where a record's lines go: a file written by a thread of its own, so the
// game's loop only copies bytes and never waits for the disk, nor, for a
// ".gz" record, for zlib (level 1, with a sync flush at every handOver() and
// flush()), except in flush() and close(). What is handed over reaches the
// file within about 10 ms (the thread gathers hand-overs that come faster).
class RecordSink final : public RecordOutput {
 public:
  // Writes to `fd`, an empty file opened for writing by the output file
  // rules (base/output_files.h), and closes it at the end; gzip when `path`
  // ends with ".gz". `path` also names the file in a failure. With
  // `everyTelemetry`, every "T" sent hands the lines so far over.
  RecordSink(int fd, const std::string& path, bool everyTelemetry);
  ~RecordSink() override;
  RecordSink(const RecordSink&) = delete;
  RecordSink& operator=(const RecordSink&) = delete;

  void write(std::string_view bytes) override;
  // Everything written so far goes to the writer thread, which sync-flushes
  // a ".gz" stream after it; does not wait for it.
  void handOver() override;
  void telemetrySent() override {
    if (everyTelemetry_) handOver();
  }
  // Everything written so far reaches the file (a ".gz" stream is
  // sync-flushed, so it can be read up to here) before this returns.
  // Raises a system error when the writer thread met one.
  void flush() override;
  // Flushes, ends the stream (gzip trailer) and closes the file.
  void close() override;

 private:
  struct Chunk {
    std::string bytes;
    int zlibFlush = Z_NO_FLUSH;  // Z_SYNC_FLUSH after it, or Z_FINISH: end the stream and stop
  };
  // `urgent`: the loop is about to wait for this chunk, or it is the last.
  void handOver(int zlibFlush, bool urgent);
  void writerLoop();
  void writeOut(const unsigned char* data, std::size_t size);
  // Deflates `bytes`, then flushes by `mode`; appends the output to `out`.
  void compress(const std::string& bytes, int mode, std::string& out);
  void raiseIfFailed();

  std::string path_;
  bool everyTelemetry_;
  int fd_ = -1;
  bool gzip_ = false;
  z_stream zip_{};
  std::string buffer_;  // the loop's side: bytes not yet handed over

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> queue_;
  std::vector<std::string> spare_;  // written chunks' storage, for the loop to fill again
  std::uint64_t handed_ = 0;        // chunks handed to the thread
  std::uint64_t written_ = 0;       // chunks it has written
  int error_ = 0;                   // errno of the first failed write, seen by the loop at its next flush
  bool closed_ = false;
  bool writerIdle_ = false;  // the thread waits for work: a hand-over wakes it
  bool urgent_ = false;      // a flush or the close waits: the thread gathers no more
  std::thread writer_;
};

}  // namespace rover
