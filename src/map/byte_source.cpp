#include "map/byte_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/failure.h"

namespace rover {

FileByteSource::FileByteSource(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail(errno);
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileByteSource::read(unsigned char* buffer, std::size_t capacity) {
  for (;;) {
    ssize_t got = ::read(fd_, buffer, capacity);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) fail(errno);
  }
}

void FileByteSource::close() {
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail(errno);
}

void FileByteSource::fail(int code) {
  throw Failure(FailureKind::Io).because(std::strerror(code));
}

std::size_t MemoryByteSource::read(unsigned char* buffer, std::size_t capacity) {
  std::size_t count = std::min(capacity, bytes_.size() - offset_);
  if (count > 0) std::memcpy(buffer, bytes_.data() + offset_, count);
  offset_ += count;
  return count;
}

}  // namespace rover
