#include "record/record_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "base/write_all.h"

namespace rover {

namespace {

// Hand the thread work in pieces of about this size between flushes.
constexpr std::size_t kHandOverSize = 1 << 18;

}  // namespace

RecordSink::RecordSink(int fd, const std::string& path)
    : path_(path), fd_(fd), gzip_(path.size() >= 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
  if (gzip_) {
    // windowBits 15 + 16: a gzip wrapper; level 1: the thread keeps up easily.
    if (deflateInit2(&zip_, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      ::close(fd_);
      raiseFail("zlib could not start");
    }
  }
  buffer_.reserve(2 * kHandOverSize);
  writer_ = std::thread([this] { writerLoop(); });
}

RecordSink::~RecordSink() {
  if (!closed_) {
    // Unwinding after a failure: finish what was written, report nothing.
    handOver(Z_FINISH);
    writer_.join();
  }
}

void RecordSink::write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kHandOverSize) handOver(Z_NO_FLUSH);
}

void RecordSink::handOver() {
  handOver(Z_SYNC_FLUSH);
}

void RecordSink::handOver(int zlibFlush) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({std::string(), zlibFlush});
    queue_.back().bytes.swap(buffer_);
    // The next chunk fills the storage of one already written, if any: it
    // has its size already, so the loop's appends neither grow it nor fault.
    if (!spare_.empty()) {
      buffer_.swap(spare_.back());
      spare_.pop_back();
    }
    ++handed_;
    closed_ = zlibFlush == Z_FINISH;
    changed_.notify_all();
  }
  if (!closed_) buffer_.reserve(2 * kHandOverSize);
}

void RecordSink::flush() {
  handOver(Z_SYNC_FLUSH);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return written_ == handed_; });
  lock.unlock();
  raiseIfFailed();
}

void RecordSink::close() {
  if (closed_) return;
  handOver(Z_FINISH);
  writer_.join();
  raiseIfFailed();
}

void RecordSink::raiseIfFailed() {
  std::unique_lock<std::mutex> lock(mutex_);
  const int code = error_;
  lock.unlock();
  if (code != 0) raiseSystemError("cannot write " + path_ + ": " + std::strerror(code), code);
}

void RecordSink::writerLoop() {
  for (;;) {
    Chunk chunk;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty(); });
      chunk = std::move(queue_.front());
      queue_.pop_front();
    }
    const bool last = chunk.zlibFlush == Z_FINISH;
    if (gzip_) {
      compress(chunk.bytes, chunk.zlibFlush);
    } else {
      writeOut(reinterpret_cast<const unsigned char*>(chunk.bytes.data()), chunk.bytes.size());
    }
    if (last) {
      if (gzip_) deflateEnd(&zip_);
      if (::close(fd_) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_ == 0) error_ = errno;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++written_;
      constexpr std::size_t kSpares = 2;
      if (spare_.size() < kSpares && chunk.bytes.capacity() <= 4 * kHandOverSize) {
        chunk.bytes.clear();
        spare_.push_back(std::move(chunk.bytes));
      }
      changed_.notify_all();
    }
    if (last) return;
  }
}

void RecordSink::compress(const std::string& bytes, int mode) {
  unsigned char out[1 << 16];
  zip_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zip_.avail_in = static_cast<uInt>(bytes.size());
  do {
    zip_.next_out = out;
    zip_.avail_out = sizeof out;
    deflate(&zip_, mode);
    writeOut(out, sizeof out - zip_.avail_out);
  } while (zip_.avail_out == 0);
}

void RecordSink::writeOut(const unsigned char* data, std::size_t size) {
  const int code =
      writeAll(reinterpret_cast<const char*>(data), size,
               [this](const char* from, std::size_t count) { return ::write(fd_, from, count); });
  if (code == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (error_ == 0) error_ = code;
}

}  // namespace rover
