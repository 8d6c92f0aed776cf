#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace rover::testing {

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string makeTempPath(const std::string& suffix) {
  std::string pattern = "/tmp/rover_test_XXXXXX" + suffix;
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  int fd = mkstemps(buffer.data(), static_cast<int>(suffix.size()));
  if (fd < 0) throw std::runtime_error("mkstemps failed");
  ::close(fd);
  return buffer.data();
}

using Clock = std::chrono::steady_clock;

}  // namespace

std::string serverPath() {
  return ROVER_SERVER_PATH;
}

std::string toolPath(const std::string& name) {
  return std::string(ROVER_TOOLS_DIR) + "/" + name;
}

TempFile::TempFile(const std::string& contents, const std::string& suffix) : path_(makeTempPath(suffix)) {
  std::ofstream out(path_, std::ios::binary);
  out << contents;
}

TempFile::~TempFile() {
  ::unlink(path_.c_str());
}

int freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extraEnv, int passedFd)
    : outPath_(makeTempPath(".out")), errPath_(makeTempPath(".err")) {
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int out = ::open(outPath_.c_str(), O_WRONLY | O_TRUNC);
    int err = ::open(errPath_.c_str(), O_WRONLY | O_TRUNC);
    ::dup2(out, 1);
    ::dup2(err, 2);
    int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, 0);
    // Last, so that none of the files opened above can take fd 3 afterwards;
    // dup2 onto itself keeps the close-on-exec flag, hence the explicit clear.
    if (passedFd >= 0) {
      ::dup2(passedFd, 3);
      ::fcntl(3, F_SETFD, 0);
    }
    for (const std::string& entry : extraEnv) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (running()) {
    ::kill(pid_, SIGKILL);
    waitForExit(10s);
  }
  ::unlink(outPath_.c_str());
  ::unlink(errPath_.c_str());
}

bool ChildProcess::running() {
  if (status_) return false;
  int status = 0;
  pid_t result = ::waitpid(pid_, &status, WNOHANG);
  if (result == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return false;
  }
  return true;
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds bound) {
  auto deadline = Clock::now() + bound;
  while (Clock::now() < deadline) {
    if (stdoutText().find(text) != std::string::npos) return true;
    if (!running()) return stdoutText().find(text) != std::string::npos;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds bound) {
  auto deadline = Clock::now() + bound;
  while (Clock::now() < deadline) {
    if (!running()) return status_;
    std::this_thread::sleep_for(5ms);
  }
  return std::nullopt;
}

void ChildProcess::kill(int signal) {
  if (running()) ::kill(pid_, signal);
}

std::string ChildProcess::stdoutText() const {
  return readFile(outPath_);
}
std::string ChildProcess::stderrText() const {
  return readFile(errPath_);
}

Client::Client(int port, std::chrono::milliseconds bound) {
  auto deadline = Clock::now() + bound;
  while (Clock::now() < deadline) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      fd_ = fd;
      return;
    }
    ::close(fd);
    std::this_thread::sleep_for(20ms);
  }
}

Client::~Client() {
  close();
}

void Client::send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

bool Client::readSome(std::chrono::milliseconds bound) {
  if (fd_ < 0 || closed_) return false;
  pollfd entry{fd_, POLLIN, 0};
  int ready = ::poll(&entry, 1, static_cast<int>(bound.count()));
  if (ready <= 0) return false;
  char buffer[65536];
  ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
  if (n <= 0) {
    closed_ = true;
    reset_ = n < 0 && errno == ECONNRESET;
    return false;
  }
  received_.append(buffer, static_cast<std::size_t>(n));
  return true;
}

bool Client::readUntil(const std::string& text, std::chrono::milliseconds bound) {
  auto deadline = Clock::now() + bound;
  while (received_.find(text) == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    if (!readSome(left) && closed_) return received_.find(text) != std::string::npos;
  }
  return true;
}

bool Client::readToEnd(std::chrono::milliseconds bound) {
  auto deadline = Clock::now() + bound;
  while (!closed_) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    readSome(left);
  }
  return true;
}

bool Client::readMore(std::chrono::milliseconds bound) {
  return readSome(bound);
}

bool Client::waitReadable(std::chrono::milliseconds bound) {
  if (fd_ < 0) return false;
  pollfd entry{fd_, POLLIN, 0};
  return ::poll(&entry, 1, static_cast<int>(bound.count())) > 0;
}

void Client::shutdownSend() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void Client::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::vector<std::string> splitMessages(const std::string& stream) {
  std::vector<std::string> messages;
  std::size_t start = 0;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    if (stream[i] == ';') {
      messages.push_back(stream.substr(start, i + 1 - start));
      start = i + 1;
    }
  }
  return messages;
}

}  // namespace rover::testing
