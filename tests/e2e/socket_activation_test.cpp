// Socket activation of the real server binary: a runner binds a socket, hands
// it over as fd 3 through the documented shell recipe, and the server uses it,
// shows its port and plays; a socket it cannot use is refused in one line.

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

// The recipe from the README: the shell learns its own pid, sets the
// variables and becomes the server, so LISTEN_PID names the server.
const char* const kRecipe = "LISTEN_FDS=1 LISTEN_PID=$$ exec \"$0\" \"$@\"";

std::string quickOutput(int port) {
  return "waiting for client connection on port " + std::to_string(port) +
         "\nstarting round\nRound 1: reached home; score = 10\n";
}

// A descriptor closed when the test ends.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The loopback address of the family with the port; its size.
socklen_t loopbackAddress(int family, int port, sockaddr_storage& address) {
  address = {};
  const auto networkPort = htons(static_cast<std::uint16_t>(port));
  if (family == AF_INET6) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(address);
    in6.sin6_family = AF_INET6;
    in6.sin6_addr = in6addr_loopback;
    in6.sin6_port = networkPort;
    return sizeof in6;
  }
  auto& in4 = reinterpret_cast<sockaddr_in&>(address);
  in4.sin_family = AF_INET;
  in4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  in4.sin_port = networkPort;
  return sizeof in4;
}

// A socket of the type bound to the family's loopback address on port 0,
// listening when asked; -1 when the machine has no such address.
int loopbackSocket(int family, int type, bool listening) {
  const int fd = ::socket(family, type, 0);
  sockaddr_storage address;
  const socklen_t size = loopbackAddress(family, 0, address);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) < 0 ||
      (listening && ::listen(fd, 1) < 0)) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

int portOf(int fd) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6&>(address).sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);
}

// Connects to the family's loopback address and reads until the server
// closes; the bytes read, or nullopt when the connection or a read fails.
std::optional<std::string> playOver(int family, int port) {
  Fd fd(::socket(family, SOCK_STREAM, 0));
  sockaddr_storage address;
  const socklen_t size = loopbackAddress(family, port, address);
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), size) < 0) return std::nullopt;
  std::string received;
  for (;;) {
    pollfd entry{fd.get(), POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(testing::kExitBound.count())) <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t got = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (got <= 0) return received;
    received.append(buffer, static_cast<std::size_t>(got));
  }
}

// The flags line of /proc/PID/fdinfo/3, in octal as the kernel writes it.
long fdThreeFlags(int pid) {
  std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/3");
  std::string key;
  std::string value;
  while (info >> key >> value) {
    if (key == "flags:") return std::stol(value, nullptr, 8);
  }
  return -1;
}

// Starts the server through the recipe with the socket as fd 3 and a "-p"
// that must be ignored.
std::unique_ptr<ChildProcess> activated(const std::string& recipe, int socket, const std::string& map) {
  const std::vector<std::string> args = {
      "-c", recipe, testing::serverPath(), "-p", std::to_string(testing::freePort()), map};
  return std::make_unique<ChildProcess>("/bin/sh", args, std::vector<std::string>{}, socket);
}

class Activation : public ::testing::TestWithParam<int> {};

TEST_P(Activation, SocketIsUsedAndItsPortShown) {
  TempFile map(quickMap().json());
  Fd socket(loopbackSocket(GetParam(), SOCK_STREAM, true));
  if (socket.get() < 0 && GetParam() == AF_INET6) GTEST_SKIP() << "this machine has no IPv6 loopback address";
  ASSERT_GE(socket.get(), 0);
  const int port = portOf(socket.get());
  auto server = activated(kRecipe, socket.get(), map.path());
  // As a runner does: its own copy goes once the server has it.
  socket.reset();

  ASSERT_TRUE(server->waitForOutput("on port " + std::to_string(port) + "\n")) << server->stderrText();
  // Close-on-exec is set on the inherited socket (O_CLOEXEC in fdinfo's flags).
  EXPECT_NE(fdThreeFlags(server->pid()) & O_CLOEXEC, 0);
  const std::optional<std::string> received = playOver(GetParam(), port);
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(received->substr(0, 2), "I ");
  EXPECT_EQ(testing::splitMessages(*received).back().substr(0, 2), "E ");
  EXPECT_EQ(server->waitForExit(), 0) << server->stderrText();
  EXPECT_EQ(server->stdoutText(), quickOutput(port));
  EXPECT_EQ(server->stderrText(), "");
}

INSTANTIATE_TEST_SUITE_P(SocketActivation, Activation, ::testing::Values(AF_INET, AF_INET6),
                         [](const auto& info) {
                           return std::string(info.param == AF_INET ? "Ipv4" : "Ipv6");
                         });

// Variables meant for another process change nothing: the server opens its
// own socket on "-p" and ignores whatever fd 3 is.
TEST(SocketActivation, VariablesForAnotherPidAreIgnored) {
  TempFile map(quickMap().json());
  Fd socket(loopbackSocket(AF_INET, SOCK_STREAM, true));
  ASSERT_GE(socket.get(), 0);
  const int port = testing::freePort();
  const std::vector<std::string> args = {"-c",
                                         "LISTEN_FDS=1 LISTEN_PID=1 exec \"$0\" \"$@\"",
                                         testing::serverPath(),
                                         "-p",
                                         std::to_string(port),
                                         map.path()};
  ChildProcess server("/bin/sh", args, {}, socket.get());
  ASSERT_TRUE(server.waitForOutput("on port " + std::to_string(port) + "\n")) << server.stderrText();
  Client client(port);
  ASSERT_TRUE(client.connected());
  EXPECT_TRUE(client.readToEnd());
  EXPECT_EQ(server.waitForExit(), 0);
  EXPECT_EQ(server.stdoutText(), quickOutput(port));
  EXPECT_EQ(server.stderrText(), "");
}

struct RefusalCase {
  const char* name;
  const char* recipe;
  // What fd 3 is: "udp", "unbound" (TCP, not listening), "unix", "file" or "good".
  const char* fdThree;
  const char* line;
};

// Shows the case by its name in test listings.
void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

int makeFdThree(const std::string& kind, const std::string& mapPath) {
  if (kind == "udp") return loopbackSocket(AF_INET, SOCK_DGRAM, false);
  if (kind == "unbound") return loopbackSocket(AF_INET, SOCK_STREAM, false);
  if (kind == "file") return ::open(mapPath.c_str(), O_RDONLY);
  if (kind == "unix") {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) < 0) return -1;
    ::close(pair[1]);
    return pair[0];
  }
  return loopbackSocket(AF_INET, SOCK_STREAM, true);
}

// The map loads, then the socket is refused: one line, status 1, no waiting line.
TEST_P(Refusal, OneLineAndStatusOne) {
  TempFile map(quickMap().json());
  Fd fd(makeFdThree(GetParam().fdThree, map.path()));
  ASSERT_GE(fd.get(), 0);
  auto server = activated(GetParam().recipe, fd.get(), map.path());
  EXPECT_EQ(server->waitForExit(), 1);
  EXPECT_EQ(server->stderrText(), std::string("ERROR: socket activation: ") + GetParam().line + "\n");
  EXPECT_EQ(server->stdoutText(), "");
}

INSTANTIATE_TEST_SUITE_P(
    SocketActivation, Refusal,
    ::testing::Values(RefusalCase{"TwoSockets", "LISTEN_FDS=2 LISTEN_PID=$$ exec \"$0\" \"$@\"", "good",
                                  "LISTEN_FDS is \"2\", but the server takes exactly 1 socket"},
                      RefusalCase{"CountWithSpace", "LISTEN_FDS=' 1' LISTEN_PID=$$ exec \"$0\" \"$@\"",
                                  "good", "LISTEN_FDS is \" 1\", but the server takes exactly 1 socket"},
                      RefusalCase{"RegularFile", kRecipe, "file", "fd 3 is not an open socket (notsock)"},
                      RefusalCase{"UnixSocket", kRecipe, "unix", "fd 3 is not an IPv4 or IPv6 socket"},
                      RefusalCase{"Datagram", kRecipe, "udp", "fd 3 is not a stream socket"},
                      RefusalCase{"NotListening", kRecipe, "unbound", "fd 3 is not listening"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rover::e2e
