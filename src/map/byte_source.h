#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rover {

// Where the JSON reader gets its bytes from, one block at a time.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `capacity` bytes into `buffer`; 0 means the end of the input.
  virtual std::size_t read(unsigned char* buffer, std::size_t capacity) = 0;
};

// A file opened for reading; every open, read or close error raises "Io"
// after putting the system's text for it into `errorText`.
class FileByteSource : public ByteSource {
 public:
  FileByteSource(const std::string& path, std::string& errorText);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::size_t read(unsigned char* buffer, std::size_t capacity) override;
  // Closes the file, raising "Io" if the system reports an error.
  void close();

 private:
  [[noreturn]] void fail(int code);
  int fd_ = -1;
  std::string& errorText_;
};

// Bytes held in memory (tests, fuzzing).
class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(unsigned char* buffer, std::size_t capacity) override;

 private:
  std::string_view bytes_;
  std::size_t offset_ = 0;
};

}  // namespace rover
