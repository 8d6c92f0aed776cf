#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "net/transport.h"

namespace rover {

// The connection's message writer. A message is appended piece by piece and
// sent by flush() the moment its ";" is in; a message longer than 1200
// bytes leaves as full 1200-byte blocks, each the moment it is full,
// followed by the rest. The bytes are written once, into the text that
// the game's listeners read, and the blocks are sent from it.
class OutputBuffer {
 public:
  static constexpr std::size_t kCapacity = 1200;

  explicit OutputBuffer(Transport& transport);

  void append(char c);
  void append(std::string_view text);
  void flush();
  // The bytes appended and not sent yet.
  std::size_t pending() const { return text_.size() - sent_; }
  // Everything appended since clearText(): the whole text of the message
  // just sent, for the game's listeners. Clearing keeps the storage, so the
  // telemetry pass allocates nothing for it.
  std::string_view text() const { return std::string_view(text_).substr(textStart_); }
  void clearText();

 private:
  void sendFullBlocks();

  Transport& transport_;
  std::string text_;           // the bytes not yet sent, and the text since clearText() before them
  std::size_t sent_ = 0;       // the bytes of text_ already sent
  std::size_t textStart_ = 0;  // where text() starts in text_
};

}  // namespace rover
