#include "rover/server_link.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace rover::client {

namespace {

[[noreturn]] void systemFailure(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

// One connection attempt to each address of host:port; the socket, or -1 with errno set.
int tryConnect(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (status != 0) throw std::runtime_error("cannot resolve " + host + ": " + ::gai_strerror(status));
  int fd = -1;
  int lastError = ECONNREFUSED;
  for (addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next) {
    fd = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    if (::connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
      lastError = errno;
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  if (fd < 0) errno = lastError;
  return fd;
}

}  // namespace

ServerLink::ServerLink(const std::string& host, const std::string& port, std::chrono::milliseconds patience) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  while ((fd_ = tryConnect(host, port)) < 0) {
    int error = errno;
    if (error != ECONNREFUSED || std::chrono::steady_clock::now() >= deadline)
      systemFailure("cannot connect to " + host + ":" + port, error);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // Commands are tiny and the server reads them every 50 ms: send each at once.
  int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

ServerLink::~ServerLink() {
  if (fd_ >= 0) ::close(fd_);
}

std::string ServerLink::receive() {
  char buffer[65536];
  for (;;) {
    ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got >= 0) return std::string(buffer, static_cast<std::size_t>(got));
    // A server that closes while our last commands are still unread makes
    // the kernel reset the connection instead of closing it cleanly; either
    // way the stream has ended, and the caller judges whether it ended well.
    if (errno == ECONNRESET) return std::string();
    if (errno != EINTR) systemFailure("receive failed", errno);
  }
}

bool ServerLink::send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE || errno == ECONNRESET) return false;
      systemFailure("send failed", errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace rover::client
