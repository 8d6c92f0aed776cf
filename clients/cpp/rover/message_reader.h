#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rover/messages.h"

namespace rover::client {

// Turns the server's byte stream into messages. Bytes arrive in arbitrary
// pieces: a message may be split across reads and one read may hold several
// messages, so bytes are buffered until a message's ';' has arrived.
class MessageReader {
 public:
  // A message longer than this is treated as garbage rather than buffered forever.
  static constexpr std::size_t kMaxMessageBytes = 1 << 20;

  /// Appends received bytes; throws ProtocolError when an unfinished message grows too long.
  void feed(std::string_view bytes);
  /// The next complete message, or nullopt until more bytes arrive; throws ProtocolError on malformed input.
  std::optional<Message> next();
  /// True when bytes of an unfinished message are waiting (the stream must not end here).
  bool midMessage() const;

 private:
  std::string pending_;
  std::size_t start_ = 0;
};

/// Parses one complete message text (without its ';'); throws ProtocolError.
Message parseMessage(std::string_view text);

}  // namespace rover::client
