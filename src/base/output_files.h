#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rover {

// How an output file gets its bytes.
enum class OutputKind {
  Streamed,  // through a descriptor, as the game goes (the record)
  Whole,     // all at once at the end, through a temporary renamed into place (the results)
};

// A file as the system knows it: what two names of one file share.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// Where a path leads: its folder, resolved, and its last name. Two paths to
// a file that does not exist yet are the same file when their places are.
struct FilePlace {
  FileId folder;
  std::string name;
  bool operator==(const FilePlace&) const = default;
};

class OutputFiles;

// One output file that passed the rules of OutputFiles.
class OutputFile {
 public:
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  const std::string& path() const { return path_; }
  // Streamed, once opened: the descriptor, open for writing on the emptied
  // or new file; the caller owns it from now on.
  int takeDescriptor();
  // Whole, once opened: writes `text` into the temporary and renames it into
  // place, after checking the path once more against the rules. Raises the
  // system error "cannot write PATH: <reason>". Leaves no temporary behind,
  // whether it succeeds or not; a second call does nothing.
  void replaceWith(std::string_view text);
  // Whole: gives the file up; its temporary goes, the path stays untouched.
  void discard();

 private:
  friend class OutputFiles;
  OutputFile(const OutputFiles& owner, std::string option, std::string path, OutputKind kind)
      : owner_(owner), option_(std::move(option)), path_(std::move(path)), kind_(kind) {}
  [[noreturn]] void refuse(const std::string& reason) const;
  [[noreturn]] void refuseErrno(int code) const;
  void check();
  void open();
  void createTemporary();
  // A fresh hidden name beside the target: ".NAME.XXXXXX".
  std::string temporaryName() const;
  void dropTemporary();
  void removeIfCreated();

  const OutputFiles& owner_;
  std::string option_;  // the option that names it ("--record"), for messages
  std::string path_;
  OutputKind kind_;
  int folder_ = -1;  // the folder, held open (O_PATH) so the final rename lands where it was checked
  FilePlace place_;
  std::optional<FileId> file_;  // the file, once it exists
  int fd_ = -1;                 // streamed: the file; whole: the temporary
  bool created_ = false;        // streamed: made by the server, not there before
  bool unnamed_ = false;        // whole: the temporary has no name yet (O_TMPFILE)
  std::string temporary_;       // whole: the temporary's name in the folder, when it has one
  bool done_ = false;
};

// The rules every output file of the server follows, in one place, so that
// no output can destroy anything:
// - a path must not exist yet or name a regular file; anything else (a FIFO,
//   a device, /dev/null too, a folder) is refused;
// - it must not be a protected input (the map) or another output: the same
//   device and inode, or, for a path that does not exist yet, the same
//   resolved folder and name;
// - the file checked is the file opened, never the name alone, and nothing
//   is created or truncated until every output has passed;
// - a refusal raises the system error "cannot write PATH: <reason>" and
//   removes what the server created itself.
// Use: protect the inputs, claim every output, then openAll() once.
class OutputFiles {
 public:
  OutputFiles() = default;
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // `path` is an input no output may be; `what` names it in a refusal ("the map file").
  void protect(const std::string& what, const std::string& path);
  // The same for a file known by its device and inode (a map loaded earlier).
  void protect(const std::string& what, FileId file) { protected_.push_back({what, file}); }
  // Checks `path` for the output of `option` and keeps it; nothing is
  // created or changed yet. Raises the refusal.
  OutputFile& claim(const std::string& option, const std::string& path, OutputKind kind);
  // Creates the new files and the temporaries, then empties the existing
  // streamed files. On a failure removes what it created and raises.
  void openAll();
  // After a failure that ended the game: removes every temporary that was
  // not renamed into place.
  void discardTemporaries();

 private:
  friend class OutputFile;
  // Why `file` may not be written, or nothing.
  std::optional<std::string> conflict(const OutputFile& file) const;

  struct Protected {
    std::string what;
    FileId id;
  };
  std::vector<Protected> protected_;
  std::vector<std::unique_ptr<OutputFile>> files_;
};

}  // namespace rover
