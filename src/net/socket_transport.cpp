#include "net/socket_transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "base/failure.h"
#include "base/write_all.h"

namespace rover {

namespace {

// A failed call on the client's connection: the system's error (reported as
// any other), and what the server was doing, for those who ask why.
[[noreturn]] void raiseConnectionError(int code, const char* doing) {
  throw Failure(FailureKind::SysErr, std::strerror(code), code)
      .because(std::string("the connection to the controller failed while ") + doing);
}

}  // namespace

void SocketTransport::sendAll(const char* data, std::size_t size) {
  // MSG_NOSIGNAL: a client that has gone away must surface as an EPIPE
  // failure we can report, not as a SIGPIPE that kills the process silently.
  const int code = writeAll(data, size, [this](const char* from, std::size_t count) {
    return ::send(socket_, from, count, MSG_NOSIGNAL);
  });
  if (code != 0) raiseConnectionError(code, "sending");
}

bool SocketTransport::awaitInput(std::optional<std::chrono::nanoseconds> timeout) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  pollfd watch{socket_, POLLIN, 0};
  // A reply usually follows within microseconds, and a blocking wait costs
  // a wake-up on top of the round trip; so look again and again for a short
  // while before sleeping in poll.
  constexpr std::chrono::microseconds kSpin{40};
  while (Clock::now() - start < kSpin) {
    const int ready = ::poll(&watch, 1, 0);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) raiseConnectionError(errno, "waiting for a reply");
  }
  for (;;) {
    timespec wait{};
    const timespec* waitFor = nullptr;  // no timeout: wait for ever
    if (timeout) {
      const auto left = std::max(*timeout - (Clock::now() - start), std::chrono::nanoseconds::zero());
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
      wait.tv_sec = static_cast<time_t>(seconds.count());
      wait.tv_nsec = static_cast<long>((left - seconds).count());
      waitFor = &wait;
    }
    const int ready = ::ppoll(&watch, 1, waitFor, nullptr);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) raiseConnectionError(errno, "waiting for a reply");
  }
}

std::optional<std::size_t> SocketTransport::receive(char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = ::recv(socket_, buffer, capacity, MSG_DONTWAIT);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return std::nullopt;
    raiseConnectionError(errno, "receiving");
  }
}

}  // namespace rover
