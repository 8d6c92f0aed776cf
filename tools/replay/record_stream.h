#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rover::replay {

// How much a record may hold, far above real records (a header carries the
// map in base64: a 5.8 MB map makes a line of about 7.8 MB; a six-minute
// game on a crowded map is about 13 MB). Each has an option of replay.
struct ReadLimits {
  std::uint64_t maxLineBytes = std::uint64_t{64} << 20;  // --max-line
  std::uint64_t maxBytes = std::uint64_t{4} << 30;       // --max-size, after decompression
};

// A record's lines as a stream, from a plain or a gzip file (recognised by
// its first bytes, whatever its name): memory holds the line being read and
// one block, never the whole file. Reading stops with a Failure at the first
// line that cannot belong to a record, before anything after it is read.
class RecordStream {
 public:
  // Raises "cannot open: <reason>" (kind Io) when the file cannot be opened.
  RecordStream(const std::string& path, const ReadLimits& limits);
  // A record's bytes already in memory (tests, the fuzzer), handed over at
  // most `readSize` at a time, as a pipe may: the reads then end anywhere
  // in a line.
  struct InMemory {
    std::string bytes;
    std::size_t readSize = std::size_t{1} << 16;
  };
  RecordStream(InMemory record, const ReadLimits& limits);
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;
  ~RecordStream();

  // The next line, without its "\n"; false at the end of the record. Fails
  // (a Failure at the line) on an empty line, a line longer than the line
  // limit, text beyond the size limit; and on corrupt gzip data.
  bool next(std::string& line);
  // The number of the line next() returned last (1 for the first).
  std::size_t lineNumber() const { return lines_; }
  // Once next() returned false: the file ended inside a line (dropped) or
  // inside a gzip stream without its trailer, as a game that died leaves it.
  bool cutShort() const { return cutShort_; }

 private:
  // Appends more text, or nothing once the input has ended.
  void fill();
  // Up to `capacity` raw bytes of the file (or of the bytes in memory).
  std::size_t readRaw(char* into, std::size_t capacity);
  // Inflates until some text came out or the input ended.
  void inflateMore();

  ReadLimits limits_;
  int fd_ = -1;
  std::string memory_;  // InMemory: the bytes, read from memoryAt_, readSize_ at a time
  std::size_t memoryAt_ = 0;
  std::size_t readSize_ = 0;
  bool started_ = false;  // the first bytes were looked at
  bool gzip_ = false;
  bool gzipEnded_ = false;  // the current gzip member ended with its trailer
  z_stream zip_{};
  std::unique_ptr<char[]> raw_;     // compressed bytes not yet inflated
  std::size_t compressedRead_ = 0;  // compressed bytes read so far, for a corruption's place
  bool inputEnded_ = false;

  std::string text_;          // decompressed text not yet returned, from at_
  std::size_t at_ = 0;        // start of the next line in text_
  std::size_t searched_ = 0;  // text_ before this holds no "\n" after at_
  std::uint64_t read_ = 0;    // text of the lines returned, with their "\n"
  std::size_t lines_ = 0;
  bool cutShort_ = false;
};

}  // namespace rover::replay
