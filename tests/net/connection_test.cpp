#include "net/connection.h"
#include "net/inherited_listener.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "base/failure.h"
#include "net/command_reader.h"
#include "net/messages.h"
#include "server_process.h"

namespace rover {
namespace {

using testing::Client;
using testing::freePort;

int intOption(int socket, int level, int option) {
  int value = 0;
  socklen_t size = sizeof value;
  EXPECT_EQ(::getsockopt(socket, level, option, &value, &size), 0);
  return value;
}

int boundPort(int socket) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  EXPECT_EQ(::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size), 0);
  return ntohs(address.sin_port);
}

// Polls the reader until it yields a command or fails, within a generous bound.
std::string nextCommand(CommandReader& reader) {
  const auto deadline = std::chrono::steady_clock::now() + testing::kExitBound;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string command = reader.readCommand();
    if (!command.empty()) return command;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return "<timed out>";
}

TEST(Connection, ServesOneClientOverLoopback) {
  const int port = freePort();
  ::testing::internal::CaptureStdout();
  // Only the low 16 bits name the port; the waiting line shows the full number.
  const int listener = inheritedOrOpenListener(port + 65536);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "waiting for client connection on port " + std::to_string(port + 65536) + "\n");
  EXPECT_EQ(boundPort(listener), port);
  EXPECT_NE(intOption(listener, SOL_SOCKET, SO_REUSEADDR), 0);

  Client client(port);
  ASSERT_TRUE(client.connected());
  std::unique_ptr<ClientConnection> connection = acceptClient(listener);
  EXPECT_NE(intOption(connection->socket(), IPPROTO_TCP, TCP_NODELAY), 0);

  sendEvent(connection->output(), 'B', TimeValue::fromMillis(7));
  sendEnd(connection->output(), TimeValue::fromMillis(9), TimeValue::fromMillis(9));
  EXPECT_TRUE(client.readUntil("B 7 ;E 9 9 ;"));
  EXPECT_EQ(client.received(), "B 7 ;E 9 9 ;");

  CommandReader commands(connection->transport());
  client.send("al;");
  EXPECT_EQ(nextCommand(commands), "al");

  client.close();
  try {
    nextCommand(commands);
    FAIL() << "no failure after the client closed";
  } catch (const Failure& failure) {
    // A reset is possible too if the peer's close raced with unread data; none is pending here.
    EXPECT_EQ(failure.message(), std::optional<std::string>("EOF"));
  }
  connection->close();
  EXPECT_EQ(connection->socket(), -1);
  closeSocket(listener);
}

TEST(Connection, ClosingWithUnreadCommandsEndsTheStreamInOrder) {
  const int port = freePort();
  ::testing::internal::CaptureStdout();
  const int listener = inheritedOrOpenListener(port);
  ::testing::internal::GetCapturedStdout();
  Client client(port);
  ASSERT_TRUE(client.connected());
  std::unique_ptr<ClientConnection> connection = acceptClient(listener);

  // Commands behind the last poll are never read; closing must still end the
  // stream with an orderly end of file, not a reset that could cost the
  // client the final messages.
  sendEnd(connection->output(), TimeValue::fromMillis(5), TimeValue::fromMillis(5));
  client.send("a;l;b;r;");
  ASSERT_TRUE(client.readUntil("E 5 5 ;"));
  connection->close();
  EXPECT_TRUE(client.readToEnd());
  EXPECT_FALSE(client.closedByReset());
  EXPECT_EQ(client.received(), "E 5 5 ;");
  closeSocket(listener);
}

TEST(Connection, BusyPortRaisesAddressInUseBeforeTheWaitingLine) {
  const int port = freePort();
  ::testing::internal::CaptureStdout();
  const int first = inheritedOrOpenListener(port);
  std::optional<int> code;
  try {
    inheritedOrOpenListener(port);
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::SysErr);
    code = failure.errorCode();
  }
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(code, std::optional<int>(EADDRINUSE));
  EXPECT_EQ(printed, "waiting for client connection on port " + std::to_string(port) + "\n");
  closeSocket(first);
}

TEST(Connection, AcceptOnANonListeningSocketRaises) {
  const int notListening = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(notListening, 0);
  try {
    acceptClient(notListening);
    FAIL() << "accept succeeded";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::SysErr);
    EXPECT_EQ(failure.errorCode(), std::optional<int>(EINVAL));
  }
  closeSocket(notListening);
}

}  // namespace
}  // namespace rover
