// crowded_map_bench: plays one run of a generated crowded map in real time
// on the real server and reports what it costs: the server's CPU seconds
// per simulated second, and how late telemetry arrives against its 100 ms
// schedule. The client sends nothing, so the rover stands still while the
// Martians wander.
//
//   crowded_map_bench [-objects N] [-martians M] [-size metres] [-seconds S]
//                     [-server path] [-write-map file]
//
// Defaults: 10,000 objects (a fifth craters), 1,000 Martians, a 2,000 m
// map, 30 simulated seconds, and the server beside this program. With
// -write-map it only writes the map (for mapcheck, or a server run by hand
// with tools/latency_probe).
//
// Lateness is measured as latency_probe does: the first telemetry message
// of the run is the reference, and a message stamped s ms is late by
// arrival - (first arrival + s); the spread above the earliest arrival shows
// the jitter alone. CPU time (user + system, from /proc) is read at the
// first and the last telemetry message.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int objects = 10000;
  int martians = 1000;
  double size = 2000;
  double seconds = 30;
  std::string server;
  std::string writeMap;
};

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: crowded_map_bench [-objects N] [-martians M] [-size metres] [-seconds S] "
               "[-server path] [-write-map file]\n");
  std::exit(2);
}

std::string besideThisProgram(const std::string& name) {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return name;
  std::string self(path, static_cast<std::size_t>(n));
  return self.substr(0, self.rfind('/') + 1) + name;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  options.server = besideThisProgram("server");
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) usage();
    const char* value = argv[++i];
    if (flag == "-objects") {
      options.objects = std::atoi(value);
    } else if (flag == "-martians") {
      options.martians = std::atoi(value);
    } else if (flag == "-size") {
      options.size = std::atof(value);
    } else if (flag == "-seconds") {
      options.seconds = std::atof(value);
    } else if (flag == "-server") {
      options.server = value;
    } else if (flag == "-write-map") {
      options.writeMap = value;
    } else {
      usage();
    }
  }
  if (options.objects < 0 || options.martians < 0 || !(options.size > 0) || !(options.seconds > 0)) usage();
  return options;
}

// The map, from a fixed seed so that every run plays the same game: objects
// anywhere on the terrain, Martians at least 300 m from the rover (so that
// none reaches it within a few minutes), the rover near a corner facing in.
std::string crowdedMap(const Options& o) {
  std::mt19937_64 gen(14);
  const double half = o.size / 2;
  // From the generator's bits, not a library distribution: the same map on
  // every standard library.
  auto unit = [&] { return static_cast<double>(gen() >> 11) * 0x1.0p-53; };
  auto coordinate = [&] { return (2 * unit() - 1) * half; };
  const double roverX = -0.9 * half;
  const double roverY = -0.9 * half;
  std::ostringstream map;
  map.setf(std::ios::fixed);
  map.precision(3);
  map << "{\"size\": " << o.size << ", \"timeLimit\": " << static_cast<long long>(o.seconds * 1000) << ",\n"
      << " \"vehicleParams\": {\"maxSpeed\": 10, \"accel\": 2, \"brake\": 4, \"turn\": 20, \"hardTurn\": 60,"
      << " \"rotAccel\": 120, \"frontView\": 60, \"rearView\": 20},\n"
      << " \"martianParams\": {\"maxSpeed\": 3, \"accel\": 1, \"brake\": 2, \"turn\": 30, \"hardTurn\": 90,"
      << " \"rotAccel\": 200, \"frontView\": 30, \"rearView\": 5},\n";
  const int craters = o.objects / 5;
  map << " \"craters\": [";
  for (int i = 0; i < craters; ++i) {
    map << (i ? ",\n  " : "\n  ") << "{\"x\": " << coordinate() << ", \"y\": " << coordinate()
        << ", \"r\": " << 1 + 4 * unit() << "}";
  }
  map << "],\n \"boulders\": [";
  for (int i = craters; i < o.objects; ++i) {
    map << (i > craters ? ",\n  " : "\n  ") << "{\"x\": " << coordinate() << ", \"y\": " << coordinate()
        << ", \"r\": " << 0.5 + 2.5 * unit() << "}";
  }
  map << "],\n \"runs\": [{\"vehicle\": {\"x\": " << roverX << ", \"y\": " << roverY << ", \"dir\": 45},\n"
      << "  \"enemies\": [";
  for (int i = 0; i < o.martians;) {
    const double x = coordinate();
    const double y = coordinate();
    if ((x - roverX) * (x - roverX) + (y - roverY) * (y - roverY) < 300.0 * 300.0) continue;
    map << (i ? ",\n   " : "\n   ") << "{\"x\": " << x << ", \"y\": " << y
        << ", \"dir\": " << 360 * unit() - 180 << ", \"speed\": " << 0.5 + 1.5 * unit()
        << ", \"view\": " << 10 + 20 * unit() << "}";
    ++i;
  }
  map << "]}]}\n";
  return map.str();
}

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("crowded_map_bench: no free port");
    std::exit(1);
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

pid_t startServer(const std::string& server, int port, const std::string& mapPath) {
  std::fflush(stdout);  // or the child's copy of the buffer prints it again
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The result line would only interleave with the report.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::_Exit(127);
    const std::string portText = std::to_string(port);
    ::execl(server.c_str(), server.c_str(), "-p", portText.c_str(), mapPath.c_str(),
            static_cast<char*>(nullptr));
    std::perror("crowded_map_bench: cannot start the server");
    std::_Exit(127);
  }
  return pid;
}

int connectWithRetry(int port, pid_t server) {
  const auto deadline = Clock::now() + std::chrono::seconds(60);  // a large map takes a while to load
  while (Clock::now() < deadline) {
    if (::waitpid(server, nullptr, WNOHANG) == server) return -1;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

// User plus system CPU time of a process in seconds; nullopt when unreadable.
std::optional<double> cpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return std::nullopt;
  const std::size_t close = text.rfind(')');  // the command name may hold spaces
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = 0;
  long stime = 0;
  for (int index = 3; fields >> field; ++index) {
    if (index == 14) utime = std::stol(field);
    if (index == 15) {
      stime = std::stol(field);
      return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
  }
  return std::nullopt;
}

double percentile(const std::vector<double>& sorted, double fraction) {
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(index, sorted.size() - 1)];
}

struct Measure {
  std::optional<Clock::time_point> firstArrival;
  std::vector<double> latenessMs;
  long lastStamp = 0;
  std::optional<double> cpuAtFirst;
  std::optional<double> cpuAtLast;
  bool ended = false;
};

void take(const std::string& message, Clock::time_point arrival, pid_t server, Measure& m) {
  if (message.empty()) return;
  if (message[0] == 'E') m.ended = true;
  if (message[0] != 'T' || m.ended) return;
  const long stamp = std::strtol(message.c_str() + 2, nullptr, 10);
  if (!m.firstArrival) {
    m.firstArrival = arrival;
    m.cpuAtFirst = cpuSeconds(server);
  }
  const double actualMs = std::chrono::duration<double, std::milli>(arrival - *m.firstArrival).count();
  m.latenessMs.push_back(actualMs - static_cast<double>(stamp));
  m.lastStamp = stamp;
  // Read while the run certainly goes on: after its end the server exits.
  if (const std::optional<double> cpu = cpuSeconds(server)) m.cpuAtLast = cpu;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseOptions(argc, argv);
  const std::string map = crowdedMap(options);
  const bool keepMap = !options.writeMap.empty();
  const std::string mapPath =
      keepMap ? options.writeMap : "/tmp/crowded_map_bench." + std::to_string(::getpid()) + ".json";
  {
    std::ofstream out(mapPath, std::ios::binary);
    out << map;
    if (!out) {
      std::fprintf(stderr, "crowded_map_bench: cannot write %s\n", mapPath.c_str());
      return 1;
    }
  }
  std::printf("crowded map: %.0f m, %d objects (%d craters), %d Martians, %.0f simulated s\n", options.size,
              options.objects, options.objects / 5, options.martians, options.seconds);
  if (keepMap) return 0;

  const int port = freePort();
  const pid_t server = startServer(options.server, port, mapPath);
  const int fd = connectWithRetry(port, server);
  if (fd < 0) {
    std::fprintf(stderr, "crowded_map_bench: cannot connect to %s on port %d\n", options.server.c_str(),
                 port);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    std::remove(mapPath.c_str());
    return 1;
  }

  // Read until the run ends; a server far behind real time gets ten times
  // the run's length (and a minute) before the measurement stops.
  Measure m;
  std::string pending;
  const Clock::time_point start = Clock::now();
  const auto deadline = start + std::chrono::duration<double>(options.seconds * 10 + 60);
  char buffer[65536];
  while (!m.ended && Clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 200) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    const Clock::time_point arrival = Clock::now();
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find(';')) != std::string::npos) {
      take(pending.substr(0, end), arrival, server, m);
      pending.erase(0, end + 1);
    }
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);
  std::remove(mapPath.c_str());

  if (m.latenessMs.size() < 2 || !m.cpuAtFirst || !m.cpuAtLast) {
    std::fprintf(stderr, "crowded_map_bench: too little telemetry to measure\n");
    return 1;
  }
  const double simulated = static_cast<double>(m.lastStamp) / 1000;
  const double cpu = *m.cpuAtLast - *m.cpuAtFirst;
  std::vector<double> sorted = m.latenessMs;
  std::sort(sorted.begin(), sorted.end());
  const auto late = std::count_if(sorted.begin(), sorted.end(), [](double ms) { return ms > 10.0; });
  std::printf("simulated %.1f s in %.1f s of wall time (from connecting)%s\n", simulated, wall,
              m.ended ? "" : ", cut short");
  std::printf("server cpu: %.2f s, %.4f s per simulated s\n", cpu, cpu / simulated);
  std::printf("telemetry lateness ms: median %.3f, p99 %.3f, max %.3f (%zu messages, %zu later than 10 ms)\n",
              percentile(sorted, 0.5), percentile(sorted, 0.99), sorted.back(), sorted.size(),
              static_cast<std::size_t>(late));
  // The first message can itself be late; measured from the earliest
  // arrival instead, the spread shows the jitter alone.
  const double best = sorted.front();
  std::printf("spread above the earliest ms: median %.3f, p99 %.3f, max %.3f\n",
              percentile(sorted, 0.5) - best, percentile(sorted, 0.99) - best, sorted.back() - best);
  return 0;
}
