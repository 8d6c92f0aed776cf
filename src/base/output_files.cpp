#include "base/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "base/failure.h"
#include "base/write_all.h"

namespace rover {

namespace {

FileId idOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

// What a path that is not a regular file leads to, for the refusal.
std::string notRegular(const struct stat& st) {
  const char* what = S_ISDIR(st.st_mode)    ? "a folder"
                     : S_ISFIFO(st.st_mode) ? "a FIFO"
                     : S_ISCHR(st.st_mode)  ? "a character device"
                     : S_ISBLK(st.st_mode)  ? "a block device"
                     : S_ISSOCK(st.st_mode) ? "a socket"
                                            : "something else";
  return std::string("not a regular file (") + what + ")";
}

void closeIfOpen(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

OutputFile::~OutputFile() {
  closeIfOpen(fd_);
  closeIfOpen(folder_);
}

void OutputFile::refuse(const std::string& reason) const {
  raiseSystemError("cannot write " + path_ + ": " + reason, std::nullopt);
}

void OutputFile::refuseErrno(int code) const {
  raiseSystemError("cannot write " + path_ + ": " + std::strerror(code), code);
}

void OutputFile::check() {
  // The folder and the last name, as the final open and rename will see them.
  const std::size_t slash = path_.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path_.substr(0, slash == 0 ? 1 : slash);
  place_.name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st {};
  if (folder_ < 0 || ::fstat(folder_, &st) != 0) refuseErrno(errno);
  place_.folder = idOf(st);

  // O_PATH opens whatever is there without touching it: a FIFO does not
  // wait for a reader, a device is not opened for writing.
  const int found = place_.name.empty() ? -1 : ::openat(folder_, place_.name.c_str(), O_PATH | O_CLOEXEC);
  if (found < 0) {
    if (place_.name.empty()) refuse(notRegular(st));  // "dir/": the folder itself
    if (errno != ENOENT) refuseErrno(errno);
  } else {
    const bool read = ::fstat(found, &st) == 0;
    const int code = errno;
    ::close(found);
    if (!read) refuseErrno(code);
    if (!S_ISREG(st.st_mode)) refuse(notRegular(st));
    file_ = idOf(st);
  }
  if (file_ && kind_ == OutputKind::Streamed) {
    // The file to be written, opened without truncating it, must be the one
    // just checked: a name swapped in between is caught here.
    fd_ = ::openat(folder_, place_.name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) refuseErrno(errno);
    if (::fstat(fd_, &st) != 0) refuseErrno(errno);
    if (!S_ISREG(st.st_mode)) refuse(notRegular(st));
    if (idOf(st) != *file_) refuse("it changed while it was being checked");
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  }
  if (const std::optional<std::string> why = owner_.conflict(*this)) refuse(*why);
}

void OutputFile::open() {
  if (kind_ == OutputKind::Whole) return createTemporary();
  if (fd_ >= 0) return;  // an existing file: emptied once every output has been opened
  fd_ = ::openat(folder_, place_.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd_ < 0) refuseErrno(errno);
  created_ = true;
  struct stat st {};
  if (::fstat(fd_, &st) == 0) file_ = idOf(st);
}

std::string OutputFile::temporaryName() const {
  static std::mt19937_64 generator(std::random_device{}());
  static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = "." + place_.name + ".";
  for (int i = 0; i < 6; ++i) name += kDigits[generator() % (sizeof kDigits - 1)];
  return name;
}

void OutputFile::createTemporary() {
  // A temporary without a name: a server killed by a signal leaves nothing.
  // It gets a name only to be renamed into place. Where the file system
  // cannot make one, a hidden named temporary stands in.
  fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd_ >= 0 && ::access("/proc/self/fd", X_OK) == 0) {
    unnamed_ = true;
    return;
  }
  closeIfOpen(fd_);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = temporaryName();
    fd_ = ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temporary_.clear();
    refuseErrno(errno);
  }
}

int OutputFile::takeDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void OutputFile::replaceWith(std::string_view text) {
  if (done_ || fd_ < 0) return;
  done_ = true;
  try {
    if (const int code = writeAll(text.data(), text.size(), [this](const char* from, std::size_t count) {
          return ::write(fd_, from, count);
        }))
      refuseErrno(code);
    // Readable by everyone, like a file made the ordinary way, whatever the umask.
    ::fchmod(fd_, 0644);
    if (unnamed_) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      for (int attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
        const std::string name = temporaryName();
        if (::linkat(AT_FDCWD, self.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          temporary_ = name;
        } else if (errno != EEXIST) {
          refuseErrno(errno);
        }
      }
      if (temporary_.empty()) refuseErrno(EEXIST);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) refuseErrno(errno);
    // What the path leads to now must still pass: a FIFO or the map put
    // there during the game is not replaced.
    struct stat st {};
    file_.reset();
    if (::fstatat(folder_, place_.name.c_str(), &st, 0) == 0) {
      if (!S_ISREG(st.st_mode)) refuse(notRegular(st));
      file_ = idOf(st);
      if (const std::optional<std::string> why = owner_.conflict(*this)) refuse(*why);
    }
    if (::renameat(folder_, temporary_.c_str(), folder_, place_.name.c_str()) != 0) refuseErrno(errno);
    temporary_.clear();
  } catch (...) {
    dropTemporary();
    throw;
  }
}

void OutputFile::discard() {
  done_ = true;
  dropTemporary();
}

void OutputFile::dropTemporary() {
  closeIfOpen(fd_);
  if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
  temporary_.clear();
}

void OutputFile::removeIfCreated() {
  if (kind_ == OutputKind::Whole) return dropTemporary();
  if (!created_) return;
  // Only while the name still leads to the file this server made.
  struct stat st {};
  if (file_ && ::fstatat(folder_, place_.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && idOf(st) == *file_)
    ::unlinkat(folder_, place_.name.c_str(), 0);
  created_ = false;
}

void OutputFiles::protect(const std::string& what, const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) protected_.push_back({what, idOf(st)});
}

OutputFile& OutputFiles::claim(const std::string& option, const std::string& path, OutputKind kind) {
  std::unique_ptr<OutputFile> file(new OutputFile(*this, option, path, kind));
  file->check();
  files_.push_back(std::move(file));
  return *files_.back();
}

std::optional<std::string> OutputFiles::conflict(const OutputFile& file) const {
  if (file.file_) {
    for (const Protected& input : protected_) {
      if (input.id == *file.file_) return "it is " + input.what;
    }
  }
  for (const auto& other : files_) {
    if (other.get() == &file) continue;
    if (other->place_ == file.place_ || (file.file_ && other->file_ && *other->file_ == *file.file_))
      return "it is also the " + other->option_ + " file";
  }
  return std::nullopt;
}

void OutputFiles::openAll() {
  try {
    for (const auto& file : files_) file->open();
    // Last, once nothing can be refused any more: empty the files that were there.
    for (const auto& file : files_) {
      if (file->kind_ == OutputKind::Streamed && !file->created_ && ::ftruncate(file->fd_, 0) != 0)
        file->refuseErrno(errno);
    }
  } catch (...) {
    for (const auto& file : files_) file->removeIfCreated();
    throw;
  }
}

void OutputFiles::discardTemporaries() {
  for (const auto& file : files_) {
    if (file->kind_ == OutputKind::Whole) file->dropTemporary();
  }
}

}  // namespace rover
