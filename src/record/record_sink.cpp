#include "record/record_sink.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/failure.h"
#include "base/write_all.h"

namespace rover {

namespace {

// Hand the thread work in pieces of about this size between flushes.
constexpr std::size_t kHandOverSize = 1 << 18;
// A lockstep game hands lines over at every "T", thousands of times a
// second: the thread gathers what comes within this long of its last write,
// so it wakes and writes about a hundred times a second at most, and a
// line still reaches the file a few milliseconds after its hand-over.
constexpr std::chrono::milliseconds kGather(10);

}  // namespace

RecordSink::RecordSink(int fd, const std::string& path, bool everyTelemetry)
    : path_(path), everyTelemetry_(everyTelemetry), fd_(fd), gzip_(path.size() >= 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
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
    handOver(Z_FINISH, true);
    writer_.join();
  }
}

void RecordSink::write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kHandOverSize) handOver(Z_NO_FLUSH, false);
}

void RecordSink::handOver() {
  handOver(Z_SYNC_FLUSH, false);
}

void RecordSink::handOver(int zlibFlush, bool urgent) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({std::string(), zlibFlush});
    queue_.back().bytes.swap(buffer_);
    // The next chunk fills the storage of one already written, if any: it
    // has its size already, so the loop's appends neither grow it nor fault.
    // With a hand-over at every "T" most chunks are small, and their
    // storage keeps the loop's appends from allocating.
    if (!spare_.empty()) {
      buffer_.swap(spare_.back());
      spare_.pop_back();
    }
    ++handed_;
    closed_ = zlibFlush == Z_FINISH;
    urgent_ = urgent_ || urgent;
    // A thread that is gathering takes this chunk with the others: waking
    // it for each would cost the game a system call per "T".
    if (writerIdle_ || urgent) changed_.notify_all();
  }
}

void RecordSink::flush() {
  handOver(Z_SYNC_FLUSH, true);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return written_ == handed_; });
  lock.unlock();
  raiseIfFailed();
}

void RecordSink::close() {
  if (closed_) return;
  handOver(Z_FINISH, true);
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
  // Everything handed over since the thread last looked is taken at once
  // and goes out in one write: with a hand-over at every "T", a thread
  // that fell behind catches up in few system calls. Each chunk still gets
  // its own flush, so a ".gz" stream's bytes do not depend on timing.
  std::deque<Chunk> taken;
  std::string out;
  auto lastWrite = std::chrono::steady_clock::now() - kGather;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      writerIdle_ = true;
      changed_.wait(lock, [this] { return !queue_.empty(); });
      writerIdle_ = false;
      changed_.wait_until(lock, lastWrite + kGather, [this] { return urgent_; });
      urgent_ = false;
      taken.swap(queue_);
    }
    bool last = false;
    for (const Chunk& chunk : taken) {
      last = chunk.zlibFlush == Z_FINISH;
      if (gzip_) {
        compress(chunk.bytes, chunk.zlibFlush, out);
      } else {
        out.append(chunk.bytes);
      }
    }
    writeOut(reinterpret_cast<const unsigned char*>(out.data()), out.size());
    out.clear();
    lastWrite = std::chrono::steady_clock::now();
    if (last) {
      if (gzip_) deflateEnd(&zip_);
      if (::close(fd_) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (error_ == 0) error_ = errno;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      written_ += taken.size();
      constexpr std::size_t kSpares = 64;
      for (Chunk& chunk : taken) {
        if (spare_.size() >= kSpares) break;
        if (chunk.bytes.capacity() > 4 * kHandOverSize) continue;
        chunk.bytes.clear();
        spare_.push_back(std::move(chunk.bytes));
      }
      changed_.notify_all();
    }
    taken.clear();
    if (last) return;
  }
}

void RecordSink::compress(const std::string& bytes, int mode, std::string& out) {
  unsigned char block[1 << 16];
  zip_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zip_.avail_in = static_cast<uInt>(bytes.size());
  do {
    zip_.next_out = block;
    zip_.avail_out = sizeof block;
    deflate(&zip_, mode);
    out.append(reinterpret_cast<const char*>(block), sizeof block - zip_.avail_out);
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
