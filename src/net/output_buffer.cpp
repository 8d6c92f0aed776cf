#include "net/output_buffer.h"

#include <algorithm>

namespace rover {

void OutputBuffer::append(char c) {
  text_.push_back(c);
  // A single character only pushes out a full buffer when it no longer fits.
  if (pos_ + 1 > kCapacity) {
    transport_.sendAll(bytes_.data(), kCapacity);
    pos_ = 0;
  }
  bytes_[pos_++] = c;
}

void OutputBuffer::append(std::string_view text) {
  text_.append(text);
  while (!text.empty()) {
    const std::size_t room = kCapacity - pos_;
    const std::size_t take = std::min(room, text.size());
    std::copy_n(text.data(), take, bytes_.data() + pos_);
    pos_ += take;
    text.remove_prefix(take);
    if (pos_ == kCapacity) {
      transport_.sendAll(bytes_.data(), kCapacity);
      pos_ = 0;
    }
  }
}

void OutputBuffer::flush() {
  // An empty buffer has nothing for the wire; skipping it keeps the send
  // count equal to the number of blocks that carry bytes.
  if (pos_ == 0) return;
  const std::size_t size = pos_;
  pos_ = 0;
  transport_.sendAll(bytes_.data(), size);
}

}  // namespace rover
