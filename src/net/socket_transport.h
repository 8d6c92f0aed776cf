#pragma once

#include <cstddef>
#include <optional>

#include "net/transport.h"

namespace rover {

// A Transport over a connected socket descriptor (not owned).
class SocketTransport final : public Transport {
 public:
  explicit SocketTransport(int socket) : socket_(socket) {}
  void sendAll(const char* data, std::size_t size) override;
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override;

 private:
  int socket_;
};

}  // namespace rover
