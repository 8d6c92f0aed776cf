#include "net/connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "base/failure.h"

namespace rover {
namespace {

// The peer address is received into a buffer of this size and not used.
constexpr socklen_t kAddressBufferSize = 128;
static_assert(sizeof(sockaddr_storage) == kAddressBufferSize);

// Closes the half-made socket, then raises the error that stopped it.
[[noreturn]] void failWithSocket(int socket) {
  const int code = errno;
  closeSocket(socket);
  raiseErrno(code);
}

void setIntOption(int socket, int level, int option) {
  const int on = 1;
  if (::setsockopt(socket, level, option, &on, sizeof on) < 0) failWithSocket(socket);
}

// Reads away whatever the client sent that nobody read (commands behind the
// last poll). Closing a socket with unread input makes the kernel answer with a
// reset instead of an orderly end of stream, and a reset can cost the client
// the last messages still in flight. Bounded, so a client that keeps sending
// cannot hold the server open.
void discardUnreadInput(int socket) {
  constexpr int kMaxReads = 256;
  char buffer[4096];
  for (int i = 0; i < kMaxReads; ++i) {
    const ssize_t received = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (received > 0) continue;
    if (received < 0 && errno == EINTR) continue;
    return;
  }
}

}  // namespace

int openListener(std::int32_t port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener < 0) raiseErrno(errno);
  // Lets a restarted server bind its port again at once.
  setIntOption(listener, SOL_SOCKET, SO_REUSEADDR);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  // Only the low 16 bits of the number name the port.
  address.sin_port = htons(static_cast<std::uint16_t>(static_cast<std::uint32_t>(port) & 0xFFFFu));
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
    failWithSocket(listener);
  }
  if (::listen(listener, 1) < 0) failWithSocket(listener);
  return listener;
}

ClientConnection::ClientConnection(int socket) : socket_(socket), transport_(socket), output_(transport_) {}

ClientConnection::~ClientConnection() {
  close();
}

void ClientConnection::close() {
  if (socket_ < 0) return;
  discardUnreadInput(socket_);
  closeSocket(socket_);
  socket_ = -1;
}

std::unique_ptr<ClientConnection> acceptClient(int listener) {
  sockaddr_storage peer{};
  int client = -1;
  for (;;) {
    socklen_t peerSize = kAddressBufferSize;
    client = ::accept(listener, reinterpret_cast<sockaddr*>(&peer), &peerSize);
    if (client >= 0) break;
    if (errno != EINTR) raiseErrno(errno);
  }
  // Each message is sent whole and at once; Nagle's delay would only hold it back.
  setIntOption(client, IPPROTO_TCP, TCP_NODELAY);
  return std::make_unique<ClientConnection>(client);
}

void closeSocket(int socket) {
  ::close(socket);
}

}  // namespace rover
