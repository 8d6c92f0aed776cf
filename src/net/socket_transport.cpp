#include "net/socket_transport.h"

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>

#include "base/failure.h"

namespace rover {

void SocketTransport::sendAll(const char* data, std::size_t size) {
  while (size > 0) {
    // MSG_NOSIGNAL: a client that has gone away must surface as an EPIPE
    // failure we can report, not as a SIGPIPE that kills the process silently.
    const ssize_t sent = ::send(socket_, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      raiseErrno(errno);
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

std::optional<std::size_t> SocketTransport::receive(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = ::recv(socket_, buffer, capacity, MSG_DONTWAIT);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
    raiseErrno(errno);
  }
}

}  // namespace rover
