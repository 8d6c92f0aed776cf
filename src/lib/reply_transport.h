#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "net/transport.h"

namespace rover {

// The client's side of a library game: the caller's replies go in, and the
// lockstep input reads them as it would read a socket. What the game sends
// is dropped here (the game's listener hears every message whole), and the
// bytes read are dropped too: nothing is kept beyond the replies not yet read.
class ReplyTransport final : public Transport {
 public:
  // Appends a reply's bytes; the next receive returns everything appended
  // since the last one, as a socket would after one write per reply.
  void give(std::string_view reply) { pending_.append(reply); }

  void sendAll(const char* /*data*/, std::size_t /*size*/) override {}
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;
  // The game only waits once the caller has answered every "T" it was
  // shown, so a wait with nothing to read is a fault of the library itself.
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override;

 private:
  std::string pending_;
  std::size_t read_ = 0;  // bytes of pending_ already received
};

}  // namespace rover
