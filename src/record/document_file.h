#pragma once

#include <string>
#include <string_view>

namespace rover {

// A file written whole when a game ends (the timing file). It is
// made as a temporary in the target's folder when the game is set up and
// renamed into place once written, so the target is never seen half-written;
// a process killed by a signal leaves none.
class DocumentFile {
 public:
  // Creates the temporary; a system error "cannot write PATH: <reason>"
  // (with its errno) when it cannot.
  explicit DocumentFile(std::string path);
  // Removes the temporary unless it was committed.
  ~DocumentFile();
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;

  // Writes `text` and renames the file into place; a system error when that
  // fails. Only the first call writes.
  void commit(std::string_view text);

 private:
  std::string path_;
  std::string temporary_;
  int fd_ = -1;
};

}  // namespace rover
