#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

namespace rover {

// The byte channel to the client. The socket implementation sends on a TCP
// connection; tests use the in-memory one, so that the protocol and the game
// can be driven without a network.
class Transport {
 public:
  virtual ~Transport() = default;
  // Blocks until every byte has been accepted; raises a system error on failure.
  virtual void sendAll(const char* data, std::size_t size) = 0;
  // Never blocks: the number of bytes received (0 means the peer closed its
  // side), or nullopt when nothing is available now. Raises a system error on
  // any failure other than "would block" (interrupted calls are retried).
  virtual std::optional<std::size_t> receive(char* buffer, std::size_t capacity) = 0;
  // Blocks until a receive would not say "nothing now" (bytes, end of file
  // or an error are waiting) or the timeout passes; no timeout waits for
  // ever. True when input is waiting. Only the lockstep mode waits.
  virtual bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) = 0;
};

}  // namespace rover
