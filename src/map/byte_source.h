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
  // Called once after the value has been read; a source that can fail to
  // close raises here.
  virtual void close() {}
};

// A file opened for reading; every open, read or close error raises "Io"
// with the system's text for it as the message.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::size_t read(unsigned char* buffer, std::size_t capacity) override;
  // Closes the file, raising "Io" if the system reports an error.
  void close() override;

 private:
  [[noreturn]] void fail(int code);
  int fd_ = -1;
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
