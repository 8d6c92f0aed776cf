#include "net/output_buffer.h"

namespace rover {

OutputBuffer::OutputBuffer(Transport& transport) : transport_(transport) {
  text_.reserve(2 * kCapacity);
}

void OutputBuffer::append(char c) {
  text_.push_back(c);
  if (pending() >= kCapacity) sendFullBlocks();
}

void OutputBuffer::append(std::string_view text) {
  text_.append(text);
  if (pending() >= kCapacity) sendFullBlocks();
}

void OutputBuffer::sendFullBlocks() {
  while (pending() >= kCapacity) {
    transport_.sendAll(text_.data() + sent_, kCapacity);
    sent_ += kCapacity;
  }
}

void OutputBuffer::flush() {
  // An empty buffer has nothing for the wire; skipping it keeps the send
  // count equal to the number of blocks that carry bytes.
  if (pending() == 0) return;
  const std::size_t from = sent_;
  sent_ = text_.size();
  transport_.sendAll(text_.data() + from, sent_ - from);
}

void OutputBuffer::clearText() {
  // Bytes not sent yet stay for the wire, but no longer count as text.
  text_.erase(0, sent_);
  sent_ = 0;
  textStart_ = text_.size();
}

}  // namespace rover
