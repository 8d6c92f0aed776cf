#include "net/memory_transport.h"

#include <algorithm>
#include <cstring>

namespace rover {

void MemoryTransport::sendAll(const char* data, std::size_t size) {
  blocks_.emplace_back(data, size);
}

std::optional<std::size_t> MemoryTransport::receive(char* buffer, std::size_t capacity) {
  ++receiveCalls_;
  // Empty chunks would read as end of file; they carry nothing, so skip them.
  while (!input_.empty() && inputOffset_ >= input_.front().size()) {
    input_.erase(input_.begin());
    inputOffset_ = 0;
  }
  if (input_.empty()) {
    if (inputClosed_) return 0;
    return std::nullopt;
  }
  const std::string& chunk = input_.front();
  const std::size_t size = std::min(capacity, chunk.size() - inputOffset_);
  std::memcpy(buffer, chunk.data() + inputOffset_, size);
  inputOffset_ += size;
  return size;
}

bool MemoryTransport::awaitInput(std::optional<std::chrono::nanoseconds>) {
  for (std::size_t i = 0; i < input_.size(); ++i) {
    if (input_[i].size() > (i == 0 ? inputOffset_ : 0)) return true;
  }
  return inputClosed_;
}

void MemoryTransport::pushInput(const std::string& bytes) {
  input_.push_back(bytes);
}

std::string MemoryTransport::sent() const {
  std::string all;
  for (const std::string& block : blocks_) all += block;
  return all;
}

}  // namespace rover
