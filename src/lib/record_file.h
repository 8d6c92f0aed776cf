#pragma once

#include <sys/types.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "record/record_output.h"

namespace rover {

// A record's file written in the caller's thread: a library game starts no
// thread of its own. Lines wait in a buffer and reach the file at every
// hand-over and flush, and in pieces of about 256 KiB in between (a ".gz" file, level 1, is sync-flushed
// there, so it can be read up to that point), as with the server's writer.
class RecordFile final : public RecordOutput {
 public:
  // Creates the file, or empties a regular one; gzip when `path` ends with
  // ".gz". Raises a system error, touching nothing, when it cannot be
  // created or is not a regular file (a FIFO would stall the game) or is
  // the map's file (device and inode `map`): the rules of OutputFiles.
  RecordFile(const std::string& path, dev_t mapDevice, ino_t mapInode);
  ~RecordFile() override;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  void write(std::string_view bytes) override;
  void handOver() override { flush(); }
  void flush() override;
  void close() override;

 private:
  // Passes the buffer on to the file (or to zlib) without flushing it.
  void writeOut();

  std::string path_;
  std::FILE* plain_ = nullptr;
  gzFile zipped_ = nullptr;
  std::string buffer_;
};

}  // namespace rover
