#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace rover::client {

// A TCP connection to the game server.
class ServerLink {
 public:
  /// Connects to host:port, retrying while the server is not listening yet, up to patience.
  ServerLink(const std::string& host, const std::string& port, std::chrono::milliseconds patience);
  ~ServerLink();
  ServerLink(const ServerLink&) = delete;
  ServerLink& operator=(const ServerLink&) = delete;

  /// Blocks until bytes arrive; returns them, or "" when the server closed or reset the connection.
  std::string receive();
  /// Sends every byte; false when the server has gone (closed or reset the connection).
  bool send(std::string_view bytes);

 private:
  int fd_ = -1;
};

}  // namespace rover::client
