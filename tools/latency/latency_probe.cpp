// latency_probe: connects to a running server, reads the telemetry of its runs
// and reports how late each "T" message arrives compared with its own stamp.
//
//   latency_probe [-p port] [-s seconds] [-pid server-pid]
//
// For every run, the arrival of its first telemetry message is the reference:
// a message stamped s ms should arrive s ms after it, and its lateness is
// arrival - (first arrival + s). With -pid, the server's CPU time (user +
// system, from /proc) over the measured run time is reported as well.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int port = 17676;
  double seconds = 3600;
  int pid = 0;
};

void usage() {
  std::fprintf(stderr, "usage: latency_probe [-p port] [-s seconds] [-pid server-pid]\n");
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (i + 1 >= argc) usage();
    const char* value = argv[++i];
    if (flag == "-p") {
      options.port = std::atoi(value);
    } else if (flag == "-s") {
      options.seconds = std::atof(value);
    } else if (flag == "-pid") {
      options.pid = std::atoi(value);
    } else {
      usage();
    }
  }
  return options;
}

int connectWithRetry(int port) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

// User plus system CPU time of a process in seconds; nullopt when unreadable.
std::optional<double> cpuSeconds(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return std::nullopt;
  // A process that is exiting shows a shortened line.
  // The command name may hold spaces; the fields after it are plain.
  std::size_t close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  int index = 3;
  for (; fields >> field; ++index) {
    if (index == 14) utime = std::stol(field);
    if (index == 15) {
      stime = std::stol(field);
      break;
    }
  }
  if (index != 15) return std::nullopt;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> sorted, double fraction) {
  if (sorted.empty()) return 0.0;
  std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

struct Measure {
  std::vector<double> latenessMs;
  std::optional<Clock::time_point> runStart;
  long lastStamp = 0;
  double runTimeMs = 0;
  std::optional<double> cpuAtStart;
  std::optional<double> cpuAtEnd;
  int runs = 0;
};

// Takes one complete message that arrived at the given time.
void take(const std::string& message, Clock::time_point arrival, Measure& m, int pid) {
  if (message.size() < 2) return;
  if (message[0] == 'T') {
    long stamp = std::strtol(message.c_str() + 2, nullptr, 10);
    if (stamp == 0 && !m.runStart) {
      m.runStart = arrival;
      ++m.runs;
      if (pid > 0 && !m.cpuAtStart) m.cpuAtStart = cpuSeconds(pid);
    }
    if (!m.runStart) return;
    const double expectedMs = static_cast<double>(stamp);
    const double actualMs = std::chrono::duration<double, std::milli>(arrival - *m.runStart).count();
    m.latenessMs.push_back(actualMs - expectedMs);
    m.lastStamp = stamp;
    // Read while the run is certainly still going: right after the last
    // message the server may already be exiting and /proc is unreliable.
    if (pid > 0) {
      if (std::optional<double> cpu = cpuSeconds(pid)) m.cpuAtEnd = cpu;
    }
  } else if (message[0] == 'E') {
    if (m.runStart) m.runTimeMs += static_cast<double>(m.lastStamp);
    m.lastStamp = -1;
    m.runStart.reset();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseOptions(argc, argv);
  const int fd = connectWithRetry(options.port);
  if (fd < 0) {
    std::fprintf(stderr, "latency_probe: cannot connect to port %d\n", options.port);
    return 1;
  }
  Measure m;
  std::string pending;
  const auto deadline = Clock::now() + std::chrono::duration<double>(options.seconds);
  char buffer[65536];
  while (Clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 200) <= 0) continue;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    const Clock::time_point arrival = Clock::now();
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find(';')) != std::string::npos) {
      take(pending.substr(0, end + 1), arrival, m, options.pid);
      pending.erase(0, end + 1);
    }
  }
  ::close(fd);
  // A run cut short by the time bound still counts up to its last message.
  if (m.runStart) {
    m.runTimeMs += static_cast<double>(m.lastStamp);
  }

  std::vector<double> sorted = m.latenessMs;
  std::sort(sorted.begin(), sorted.end());
  std::printf("runs: %d, telemetry messages: %zu, run time: %.1f s\n", m.runs, sorted.size(),
              m.runTimeMs / 1000);
  if (!sorted.empty()) {
    std::printf("lateness ms: median %.3f, p99 %.3f, max %.3f, min %.3f\n", percentile(sorted, 0.5),
                percentile(sorted, 0.99), sorted.back(), sorted.front());
    // The first message can itself be late; measured from the earliest
    // arrival instead, the spread shows the jitter alone.
    const double best = sorted.front();
    const auto late = std::count_if(sorted.begin(), sorted.end(), [](double ms) { return ms > 10.0; });
    std::printf("later than 10 ms: %zu of %zu\n", static_cast<std::size_t>(late), sorted.size());
    std::printf("spread above earliest ms: median %.3f, p99 %.3f, max %.3f\n", percentile(sorted, 0.5) - best,
                percentile(sorted, 0.99) - best, sorted.back() - best);
  }
  if (m.cpuAtStart && m.cpuAtEnd && m.runTimeMs > 0) {
    const double cpu = *m.cpuAtEnd - *m.cpuAtStart;
    std::printf("server cpu: %.2f s over the runs, %.3f s per simulated minute\n", cpu,
                cpu * 60000.0 / m.runTimeMs);
  }
  return 0;
}
