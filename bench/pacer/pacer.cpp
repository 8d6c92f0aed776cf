// pacer: keeps the server's real-time schedule and does nothing else, so
// that latency_probe's figures for the server can be set beside what the
// machine gives a process that only sleeps and sends.
//
//   pacer [-p port] [-s seconds] [-runs N]
//
// Like the server it listens on the port (17676 by default), takes one
// controller, sends an "I" message and starts the first run a second
// later. A run lasts `seconds` (20 by default): the pacer sleeps to each
// 10 ms due time, the physics tick's, with the server's timer slack, and at
// every tenth sends a "T" message stamped with the run time, as the server
// sends telemetry every 100 ms. A run ends with "E", the next starts a
// second later. What the controller sends is read and dropped.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::int64_t kTickNanos = 10'000'000;  // the physics period
constexpr int kTicksPerTelemetry = 10;           // telemetry every 100 ms
constexpr std::int64_t kPauseNanos = 1'000'000'000;

struct Options {
  int port = 17676;
  double seconds = 20;
  int runs = 1;
};

[[noreturn]] void fail(const char* what) {
  std::perror(what);
  std::exit(1);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = i + 1 < argc ? argv[i] : "";
    if (flag == "-p") {
      options.port = std::atoi(argv[++i]);
    } else if (flag == "-s") {
      options.seconds = std::atof(argv[++i]);
    } else if (flag == "-runs") {
      options.runs = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: pacer [-p port] [-s seconds] [-runs N]\n");
      std::exit(2);
    }
  }
  return options;
}

std::int64_t now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// To the due time itself, as the server sleeps.
void sleepUntil(std::int64_t due) {
  timespec request{};
  request.tv_sec = static_cast<time_t>(due / 1'000'000'000);
  request.tv_nsec = static_cast<long>(due % 1'000'000'000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &request, nullptr) != 0) {
  }
}

int acceptController(int port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("pacer: bind");
  if (::listen(listener, 1) != 0) fail("pacer: listen");
  const int client = ::accept(listener, nullptr, nullptr);
  if (client < 0) fail("pacer: accept");
  ::close(listener);
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return client;
}

void sendText(int socket, const std::string& text) {
  if (::send(socket, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
    fail("pacer: send");
  }
}

// What the controller sent, dropped without waiting.
void dropInput(int socket) {
  char buffer[4096];
  while (::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseOptions(argc, argv);
  // The server's timer slack (driver/clock.cpp): wake-ups as punctual as its.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  const int socket = acceptController(options.port);
  sendText(socket, "I 200.000 200.000 20000 20.000 60.000 10.000 20.0 60.0 ;");
  const auto ticks = static_cast<std::int64_t>(options.seconds * 100);
  std::int64_t due = now() + kPauseNanos;
  for (int run = 0; run < options.runs; ++run) {
    const std::int64_t start = due;
    for (std::int64_t tick = 0; tick <= ticks; ++tick, due += kTickNanos) {
      sleepUntil(due);
      if (tick % kTicksPerTelemetry != 0) continue;
      const std::int64_t ms = (due - start) / 1'000'000;
      sendText(socket, "T " + std::to_string(ms) + " -- -80.000 -80.000 45.0 0.000 ;");
      dropInput(socket);
    }
    sendText(socket, "E " + std::to_string(ticks * 10) + " " + std::to_string(ticks * 10 + 100) + " ;");
    due += kPauseNanos;
  }
  ::close(socket);
  return 0;
}
