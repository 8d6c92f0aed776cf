#include "lib/reply_transport.h"

#include <algorithm>
#include <cstring>

#include "base/failure.h"

namespace rover {

std::optional<std::size_t> ReplyTransport::receive(char* buffer, std::size_t capacity) {
  if (read_ == pending_.size()) return std::nullopt;
  const std::size_t size = std::min(capacity, pending_.size() - read_);
  std::memcpy(buffer, pending_.data() + read_, size);
  read_ += size;
  if (read_ == pending_.size()) {
    pending_.clear();  // keeps its storage for the next replies
    read_ = 0;
  }
  return size;
}

bool ReplyTransport::awaitInput(std::optional<std::chrono::nanoseconds> /*timeout*/) {
  if (read_ == pending_.size()) raiseFail("the game waits for a reply the library does not hold");
  return true;
}

}  // namespace rover
