#pragma once

#include <cstdint>
#include <memory>

#include "net/output_buffer.h"
#include "net/socket_transport.h"

namespace rover {

// Opens the IPv4 listening socket on the low 16 bits of port (SO_REUSEADDR,
// backlog 1). System errors are raised.
int openListener(std::int32_t port);

// The one client: its socket, the transport over it and the output buffer.
class ClientConnection {
 public:
  explicit ClientConnection(int socket);
  ~ClientConnection();
  ClientConnection(const ClientConnection&) = delete;
  ClientConnection& operator=(const ClientConnection&) = delete;

  OutputBuffer& output() { return output_; }
  Transport& transport() { return transport_; }
  // The connected descriptor, or -1 once closed.
  int socket() const { return socket_; }
  void close();

 private:
  int socket_;
  SocketTransport transport_;
  OutputBuffer output_;
};

// Blocks until the client connects and sets TCP_NODELAY on its socket.
std::unique_ptr<ClientConnection> acceptClient(int listener);

// Closes a descriptor, ignoring errors (used on the way out).
void closeSocket(int socket);

}  // namespace rover
