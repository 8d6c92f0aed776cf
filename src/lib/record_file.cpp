#include "lib/record_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "base/output_files.h"

namespace rover {
namespace {

[[noreturn]] void raiseWriteFailure(const std::string& path, int code) {
  raiseSystemError("cannot write " + path + ": " + std::strerror(code), code);
}

// Lines go on to the file in pieces of about this size between flushes.
constexpr std::size_t kPieceSize = 1 << 18;

}  // namespace

RecordFile::RecordFile(const std::string& path, dev_t mapDevice, ino_t mapInode) : path_(path) {
  const bool gzip = path.size() >= 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  // The server's rules for its output files: a new path or a regular file,
  // never the map, checked on the opened file before it is emptied.
  OutputFiles outputs;
  outputs.protect("the map file", FileId{mapDevice, mapInode});
  OutputFile& file = outputs.claim("record", path, OutputKind::Streamed);
  outputs.openAll();
  const int fd = file.takeDescriptor();
  errno = 0;
  if (gzip) {
    zipped_ = gzdopen(fd, "wb1");  // level 1
  } else {
    plain_ = ::fdopen(fd, "wb");
  }
  if (zipped_ == nullptr && plain_ == nullptr) {
    const int code = errno != 0 ? errno : EIO;
    ::close(fd);
    raiseWriteFailure(path, code);
  }
}

RecordFile::~RecordFile() {
  // Unwinding or dropped before its end: keep what was written, report nothing.
  try {
    close();
  } catch (...) {
  }
}

void RecordFile::write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kPieceSize) writeOut();
}

void RecordFile::writeOut() {
  if (buffer_.empty()) return;
  const bool written =
      zipped_ != nullptr
          ? gzwrite(zipped_, buffer_.data(), static_cast<unsigned>(buffer_.size())) ==
                static_cast<int>(buffer_.size())
          : plain_ == nullptr || std::fwrite(buffer_.data(), 1, buffer_.size(), plain_) == buffer_.size();
  if (!written) raiseWriteFailure(path_, errno != 0 ? errno : EIO);
  buffer_.clear();
}

void RecordFile::flush() {
  writeOut();
  const bool flushed = zipped_ != nullptr  ? gzflush(zipped_, Z_SYNC_FLUSH) == Z_OK
                       : plain_ != nullptr ? std::fflush(plain_) == 0
                                           : true;
  if (!flushed) raiseWriteFailure(path_, errno != 0 ? errno : EIO);
}

void RecordFile::close() {
  if (zipped_ == nullptr && plain_ == nullptr) return;
  try {
    flush();
  } catch (...) {
    zipped_ != nullptr ? gzclose(zipped_) : std::fclose(plain_);
    zipped_ = nullptr;
    plain_ = nullptr;
    throw;
  }
  const int closed = zipped_ != nullptr ? (gzclose(zipped_) == Z_OK ? 0 : -1) : std::fclose(plain_);
  zipped_ = nullptr;
  plain_ = nullptr;
  if (closed != 0) raiseWriteFailure(path_, errno != 0 ? errno : EIO);
}

}  // namespace rover
