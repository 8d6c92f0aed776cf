#include "net/inherited_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/errno_names.h"
#include "base/failure.h"
#include "net/connection.h"

namespace rover {
namespace {

// The convention passes its sockets from fd 3 on (after stdin, stdout, stderr).
constexpr int kFirstPassedFd = 3;

[[noreturn]] void refuse(const std::string& why) {
  raiseSystemError("socket activation: " + why, std::nullopt);
}

// True only for a decimal number equal to our pid: a variable meant for some
// other process (a parent that forgot to unset it) must not change anything.
bool namesThisProcess(const char* text) {
  const std::string_view digits(text);
  long long pid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
  return error == std::errc() && end == digits.data() + digits.size() && pid == ::getpid();
}

int socketOption(int option) {
  int value = 0;
  socklen_t size = sizeof value;
  if (::getsockopt(kFirstPassedFd, SOL_SOCKET, option, &value, &size) < 0) {
    refuse("fd 3 is not an open socket (" + errnoName(errno) + ")");
  }
  return value;
}

void checkListeningStreamSocket() {
  const int domain = socketOption(SO_DOMAIN);
  if (domain != AF_INET && domain != AF_INET6) refuse("fd 3 is not an IPv4 or IPv6 socket");
  if (socketOption(SO_TYPE) != SOCK_STREAM) refuse("fd 3 is not a stream socket");
  if (socketOption(SO_ACCEPTCONN) == 0) refuse("fd 3 is not listening");
}

int boundPort(int socket) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) < 0) raiseErrno(errno);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

}  // namespace

std::optional<int> takeInheritedListener() {
  const char* pid = std::getenv("LISTEN_PID");
  const char* fds = std::getenv("LISTEN_FDS");
  if (pid == nullptr || fds == nullptr || !namesThisProcess(pid)) return std::nullopt;
  const std::string count = fds;
  // Unset before anything can fail, so that nothing we might start sees them.
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  if (count != "1") refuse("LISTEN_FDS is \"" + count + "\", but the server takes exactly 1 socket");

  checkListeningStreamSocket();
  // The server waits in a blocking accept; a passer may have left the socket
  // non-blocking, which would turn that wait into an EAGAIN failure.
  const int flags = ::fcntl(kFirstPassedFd, F_GETFL);
  if (flags < 0 || ::fcntl(kFirstPassedFd, F_SETFL, flags & ~O_NONBLOCK) < 0) raiseErrno(errno);
  if (::fcntl(kFirstPassedFd, F_SETFD, FD_CLOEXEC) < 0) raiseErrno(errno);
  return kFirstPassedFd;
}

int inheritedOrOpenListener(std::int32_t port) {
  const std::optional<int> inherited = takeInheritedListener();
  const int listener = inherited ? *inherited : openListener(port);
  // An opened socket shows the number as given (only its low 16 bits name
  // the port); an inherited one, the port it is bound to.
  std::printf("waiting for client connection on port %d\n",
              inherited ? boundPort(listener) : static_cast<int>(port));
  std::fflush(stdout);
  return listener;
}

}  // namespace rover
