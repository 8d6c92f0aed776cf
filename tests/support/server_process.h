#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rover::testing {

using namespace std::chrono_literals;

// Bounds for every wait in end-to-end tests. They are generous on purpose: the
// tests run on a busy two-core machine, also under sanitizers, and a test
// must never depend on how fast the machine is.
inline constexpr std::chrono::milliseconds kStartBound = 60s;
inline constexpr std::chrono::milliseconds kExitBound = 120s;

// Path of the server binary under test (set by CMake).
std::string serverPath();
// Path of a built tool (mapcheck, pilot) next to the server.
std::string toolPath(const std::string& name);

// A file that is removed when the object goes away.
class TempFile {
 public:
  explicit TempFile(const std::string& contents, const std::string& suffix = ".json");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A port on loopback that nothing listens on right now.
int freePort();

// A child process with its standard output and error captured to files.
// The destructor kills it if it is still running.
class ChildProcess {
 public:
  // When passedFd is not -1, the child gets that descriptor as its fd 3, the
  // way socket activation hands over a listening socket.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv = {}, int passedFd = -1);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  int pid() const { return pid_; }
  // Waits until standard output contains text; false on timeout or early exit.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds bound = kStartBound);
  // Waits for the exit status (or -signal for a death by signal); nullopt on timeout.
  std::optional<int> waitForExit(std::chrono::milliseconds bound = kExitBound);
  bool running();
  void kill(int signal);
  std::string stdoutText() const;
  std::string stderrText() const;

 private:
  int pid_ = -1;
  std::optional<int> status_;
  std::string outPath_;
  std::string errPath_;
};

// A TCP client on loopback.
class Client {
 public:
  // Connects to 127.0.0.1:port, retrying until the bound.
  explicit Client(int port, std::chrono::milliseconds bound = kStartBound);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return fd_ >= 0; }
  void send(const std::string& bytes);
  // Reads until the received bytes contain text (counted from the start of
  // the stream); false on timeout or end of stream.
  bool readUntil(const std::string& text, std::chrono::milliseconds bound = kExitBound);
  // Reads until the peer closes the connection; false on timeout.
  bool readToEnd(std::chrono::milliseconds bound = kExitBound);
  // Reads whatever arrives next; false on timeout or end of stream.
  bool readMore(std::chrono::milliseconds bound = kExitBound);
  // Waits until bytes are ready to be read (or the peer closed) without
  // reading them; false on timeout.
  bool waitReadable(std::chrono::milliseconds bound = kExitBound);
  const std::string& received() const { return received_; }
  bool peerClosed() const { return closed_; }
  // True when the connection ended with a reset rather than an orderly end of stream.
  bool closedByReset() const { return reset_; }
  void shutdownSend();
  void close();

 private:
  bool readSome(std::chrono::milliseconds bound);
  int fd_ = -1;
  std::string received_;
  bool closed_ = false;
  bool reset_ = false;
};

// Splits a message stream into messages, each ending with its ';'.
std::vector<std::string> splitMessages(const std::string& stream);

}  // namespace rover::testing
