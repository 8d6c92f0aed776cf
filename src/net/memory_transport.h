#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "net/transport.h"

namespace rover {

// A Transport in memory, for tests: records each sendAll call as one block and
// hands out queued input chunks one receive at a time.
class MemoryTransport final : public Transport {
 public:
  void sendAll(const char* data, std::size_t size) override;
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;
  // Never blocks: input is waiting when a chunk is queued or the input is closed.
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override;

  // Queue bytes for later receives; a chunk bigger than a receive's capacity
  // is handed out over several receives.
  void pushInput(const std::string& bytes);
  // After the queued input is consumed, receives report end of file.
  void closeInput() { inputClosed_ = true; }

  // Everything sent so far, concatenated; and each sendAll call's block.
  std::string sent() const;
  const std::vector<std::string>& sentBlocks() const { return blocks_; }
  void clearSent() { blocks_.clear(); }
  std::size_t receiveCalls() const { return receiveCalls_; }

 private:
  std::vector<std::string> blocks_;
  std::vector<std::string> input_;
  std::size_t inputOffset_ = 0;
  bool inputClosed_ = false;
  std::size_t receiveCalls_ = 0;
};

}  // namespace rover
