#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "net/transport.h"

namespace rover {

// The connection's 1200-byte message buffer. A message is appended piece by
// piece and sent by flush() the moment its ";" is in; a message longer than
// the buffer leaves as full 1200-byte blocks followed by the rest.
class OutputBuffer {
 public:
  static constexpr std::size_t kCapacity = 1200;

  explicit OutputBuffer(Transport& transport) : transport_(transport) {}

  void append(char c);
  void append(std::string_view text);
  void flush();
  std::size_t pending() const { return pos_; }
  // Everything appended since clearText(): the whole text of the message
  // just sent, for the game's listeners. Clearing keeps the storage, so the
  // telemetry pass allocates nothing for it.
  const std::string& text() const { return text_; }
  void clearText() { text_.clear(); }

 private:
  Transport& transport_;
  std::string text_;
  std::array<char, kCapacity> bytes_{};
  std::size_t pos_ = 0;
};

}  // namespace rover
