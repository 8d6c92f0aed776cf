#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <thread>

#include "base/failure.h"
#include "net/socket_transport.h"

namespace rover {
namespace {

// Both ends of a connected stream socket pair, closed on the way out.
class SocketPair : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
  void TearDown() override {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  void closePeer() {
    ::close(fds[1]);
    fds[1] = -1;
  }
  std::string readPeer(std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::read(fds[1], bytes.data() + got, size - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
  }

  int fds[2] = {-1, -1};
};

TEST_F(SocketPair, ReceiveWouldBlockThenDataThenEndOfFile) {
  SocketTransport transport(fds[0]);
  char buffer[8];
  EXPECT_EQ(transport.receive(buffer, sizeof buffer), std::nullopt);
  ASSERT_EQ(::write(fds[1], "al;b;", 5), 5);
  EXPECT_EQ(transport.receive(buffer, 3), std::optional<std::size_t>(3));
  EXPECT_EQ(std::string(buffer, 3), "al;");
  EXPECT_EQ(transport.receive(buffer, sizeof buffer), std::optional<std::size_t>(2));
  EXPECT_EQ(transport.receive(buffer, sizeof buffer), std::nullopt);
  closePeer();
  EXPECT_EQ(transport.receive(buffer, sizeof buffer), std::optional<std::size_t>(0));
}

TEST_F(SocketPair, ReceiveLeavesTheSocketBlocking) {
  SocketTransport transport(fds[0]);
  char buffer[4];
  EXPECT_EQ(transport.receive(buffer, sizeof buffer), std::nullopt);
  // MSG_DONTWAIT is per call: the descriptor itself stays blocking for sends.
  EXPECT_EQ(::fcntl(fds[0], F_GETFL) & O_NONBLOCK, 0);
}

TEST_F(SocketPair, SendAllDeliversEveryByteEvenPastTheSocketBuffer) {
  SocketTransport transport(fds[0]);
  std::string big(4 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 23);
  std::string received;
  std::thread reader([&] { received = readPeer(big.size()); });
  transport.sendAll(big.data(), big.size());
  reader.join();
  EXPECT_EQ(received, big);
}

TEST_F(SocketPair, SendToAClosedPeerRaisesBrokenPipe) {
  SocketTransport transport(fds[0]);
  closePeer();
  try {
    transport.sendAll("T 0 ;", 5);
    FAIL() << "send to a closed peer succeeded";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::SysErr);
    EXPECT_EQ(failure.errorCode(), std::optional<int>(EPIPE));
    EXPECT_EQ(failure.what(), std::string("SysErr: Broken pipe (pipe)"));
  }
}

TEST(SocketTransport, ReceiveErrorsOtherThanWouldBlockAreRaised) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  SocketTransport notASocket(pipeFds[0]);
  char buffer[4];
  try {
    notASocket.receive(buffer, sizeof buffer);
    FAIL() << "recv on a pipe succeeded";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::SysErr);
    EXPECT_EQ(failure.errorCode(), std::optional<int>(ENOTSOCK));
  }
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

}  // namespace
}  // namespace rover
