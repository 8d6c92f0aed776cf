#include "record_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "record/line_reader.h"

namespace rover::replay {

namespace {

// Raw bytes read, and text inflated, per step.
constexpr std::size_t kBlock = 1 << 16;

}  // namespace

RecordStream::RecordStream(const std::string& path, const ReadLimits& limits) : limits_(limits) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw Failure(FailureKind::Io).because(std::string("cannot open: ") + std::strerror(errno));
}

RecordStream::RecordStream(InMemory record, const ReadLimits& limits)
    : limits_(limits),
      memory_(std::move(record.bytes)),
      readSize_(std::max<std::size_t>(record.readSize, 1)) {}

RecordStream::~RecordStream() {
  if (fd_ >= 0) ::close(fd_);
  if (gzip_) inflateEnd(&zip_);
}

std::size_t RecordStream::readRaw(char* into, std::size_t capacity) {
  if (fd_ < 0) {
    const std::size_t count = std::min({capacity, readSize_, memory_.size() - memoryAt_});
    std::memcpy(into, memory_.data() + memoryAt_, count);
    memoryAt_ += count;
    return count;
  }
  for (;;) {
    const ssize_t count = ::read(fd_, into, capacity);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR)
      throw Failure(FailureKind::Io).because(std::string("read error: ") + std::strerror(errno));
  }
}

void RecordStream::fill() {
  if (!started_) {
    started_ = true;
    raw_ = std::make_unique<char[]>(kBlock);
    std::size_t count = readRaw(raw_.get(), kBlock);
    // The magic bytes may arrive one at a time from a pipe.
    if (count == 1) count += readRaw(raw_.get() + 1, kBlock - 1);
    gzip_ = count >= 2 && static_cast<unsigned char>(raw_[0]) == 0x1f &&
            static_cast<unsigned char>(raw_[1]) == 0x8b;
    if (!gzip_) {
      text_.append(raw_.get(), count);
      inputEnded_ = count == 0;
      return;
    }
    // windowBits 15 + 32: a gzip (or zlib) wrapper, found from its header.
    if (inflateInit2(&zip_, 15 + 32) != Z_OK) {
      gzip_ = false;
      raiseFail("zlib could not start");
    }
    zip_.next_in = reinterpret_cast<Bytef*>(raw_.get());
    zip_.avail_in = static_cast<uInt>(count);
    compressedRead_ = count;
  }
  if (!gzip_) {
    if (inputEnded_) return;
    const std::size_t size = text_.size();
    text_.resize(size + kBlock);
    const std::size_t count = readRaw(text_.data() + size, kBlock);
    text_.resize(size + count);
    inputEnded_ = count == 0;
    return;
  }
  inflateMore();
}

void RecordStream::inflateMore() {
  for (;;) {
    if (zip_.avail_in == 0 && !inputEnded_) {
      const std::size_t count = readRaw(raw_.get(), kBlock);
      compressedRead_ += count;
      inputEnded_ = count == 0;
      zip_.next_in = reinterpret_cast<Bytef*>(raw_.get());
      zip_.avail_in = static_cast<uInt>(count);
    }
    if (zip_.avail_in == 0 && inputEnded_) {
      // A stream that stops without its trailer: a game that died mid-run
      // leaves one, and it is read as far as it goes.
      if (!gzipEnded_) cutShort_ = true;
      return;
    }
    if (gzipEnded_) {
      inflateReset(&zip_);  // another member follows
      gzipEnded_ = false;
    }
    const std::size_t size = text_.size();
    text_.resize(size + kBlock);
    zip_.next_out = reinterpret_cast<Bytef*>(text_.data() + size);
    zip_.avail_out = static_cast<uInt>(kBlock);
    const int status = inflate(&zip_, Z_NO_FLUSH);
    const std::size_t produced = kBlock - zip_.avail_out;
    text_.resize(size + produced);
    if (status == Z_STREAM_END) {
      gzipEnded_ = true;
    } else if (status != Z_OK && status != Z_BUF_ERROR) {
      const std::string what = zip_.msg != nullptr ? zip_.msg : "bad data";
      throw Failure(FailureKind::Fail)
          .because("corrupt gzip data at byte " + std::to_string(compressedRead_ - zip_.avail_in) + ": " +
                   what);
    }
    if (produced > 0) return;
  }
}

bool RecordStream::next(std::string& line) {
  for (;;) {
    const std::size_t end = text_.find('\n', std::max(searched_, at_));
    if (end != std::string::npos) {
      const std::size_t length = end - at_;
      ++lines_;
      if (length > limits_.maxLineBytes) {
        failAtLine(lines_, "longer than the line limit of " + std::to_string(limits_.maxLineBytes) +
                               " bytes (--max-line)");
      }
      if (length == 0) failAtLine(lines_, "an empty line (a record has none)");
      // Counted by lines, so the line named is the one that crosses the
      // limit; the text read ahead of it is at most the line limit and a block.
      read_ += length + 1;
      if (read_ > limits_.maxBytes) {
        failAtLine(lines_, "the record holds more than " + std::to_string(limits_.maxBytes) +
                               " bytes of text, the size limit (--max-size)");
      }
      line.assign(text_, at_, length);
      at_ = end + 1;
      searched_ = at_;
      return true;
    }
    searched_ = text_.size();
    if (text_.size() - at_ > limits_.maxLineBytes) {
      failAtLine(lines_ + 1, "longer than the line limit of " + std::to_string(limits_.maxLineBytes) +
                                 " bytes (--max-line)");
    }
    // Drop what was returned once it is half the buffer: each byte is moved
    // a bounded number of times, however long the line being read.
    if (at_ > 0 && at_ >= text_.size() / 2) {
      text_.erase(0, at_);
      searched_ -= at_;
      at_ = 0;
    }
    const std::size_t before = text_.size();
    fill();
    if (text_.size() == before) {
      if (at_ < text_.size()) cutShort_ = true;  // a last line without its end: dropped
      text_.clear();
      at_ = searched_ = 0;
      return false;
    }
  }
}

}  // namespace rover::replay
