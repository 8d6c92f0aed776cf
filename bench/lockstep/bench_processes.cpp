#include "bench_processes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace rover::bench {
namespace {

// Every processor the bench was started with, taken before it pins itself.
const cpu_set_t& startingProcessors() {
  static const cpu_set_t set = [] {
    cpu_set_t s;
    CPU_ZERO(&s);
    if (::sched_getaffinity(0, sizeof s, &s) != 0) die("sched_getaffinity failed");
    return s;
  }();
  return set;
}

void pinThisProcess(std::optional<int> cpu) {
  cpu_set_t set = startingProcessors();
  if (cpu) {
    CPU_ZERO(&set);
    CPU_SET(*cpu, &set);
  }
  if (::sched_setaffinity(0, sizeof set, &set) != 0) die("sched_setaffinity failed");
}

}  // namespace

void die(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
  std::exit(1);
}

int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) die("no free port");
  socklen_t size = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  ::close(s);
  return ntohs(a.sin_port);
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath, std::optional<int> cpu) {
  return forkJob(cpu, [&] {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (std::freopen(outPath.c_str(), "w", stdout) == nullptr) return 127;
    ::execvp(args[0], args.data());
    return 127;
  });
}

pid_t forkJob(std::optional<int> cpu, const std::function<int()>& job) {
  startingProcessors();
  std::fflush(stdout);  // the child must not print this process's buffered lines again
  const pid_t pid = ::fork();
  if (pid < 0) die("fork failed");
  if (pid == 0) {
    pinThisProcess(cpu);
    std::_Exit(job());
  }
  return pid;
}

void pinTo(std::optional<int> cpu) {
  pinThisProcess(cpu);
}

std::pair<int, int> twoProcessors() {
  const cpu_set_t& set = startingProcessors();
  std::vector<int> found;
  for (int cpu = 0; cpu < CPU_SETSIZE && found.size() < 2; ++cpu) {
    if (CPU_ISSET(cpu, &set)) found.push_back(cpu);
  }
  if (found.size() < 2) die("pinning needs two processors; use --unpinned");
  return {found[0], found[1]};
}

int connectTo(int port) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      const int on = 1;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return s;
    }
    ::close(s);
    ::usleep(2000);
  }
  die("the server never listened");
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exitedCleanly(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) die("waitpid failed");
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace rover::bench
