#include "record/document_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/failure.h"
#include "base/write_all.h"

namespace rover {

namespace {

[[noreturn]] void cannotWrite(const std::string& path, int code) {
  raiseSystemError("cannot write " + path + ": " + std::strerror(code), code);
}

// "dir/.name.XXXXXX" beside the target, so the final rename stays within one
// file system and is atomic.
std::string temporaryBeside(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + ".XXXXXX";
}

}  // namespace

DocumentFile::DocumentFile(std::string path) : path_(std::move(path)), temporary_(temporaryBeside(path_)) {
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) cannotWrite(path_, errno);
}

DocumentFile::~DocumentFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
  }
}

void DocumentFile::commit(std::string_view text) {
  if (fd_ < 0) return;
  const int code = writeAll(text.data(), text.size(), [this](const char* from, std::size_t count) {
    return ::write(fd_, from, count);
  });
  if (code != 0) cannotWrite(path_, code);
  // Readable by everyone, like a file made the ordinary way (mkstemp makes 0600).
  ::fchmod(fd_, 0644);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    const int code = errno;
    ::unlink(temporary_.c_str());
    cannotWrite(path_, code);
  }
}

}  // namespace rover
