// lockstep_bench: how fast a lockstep game runs. Starts the server with
// --lockstep --reply-timeout 0 on a map, plays it to the end with a client
// and reports wall time per simulated minute and the server's CPU time.
//
//   lockstep_bench [--server PATH] [--games N] [--server-arg ARG]... [--client COMMAND...] MAP
//
// The built-in client is C++ and answers every "T" at once with a bare ";".
// With --client, the rest of the line is a controller command to run
// instead; "{port}" in it is replaced by the server's port, and the run
// times come from the results document the server writes (--results). Each
// --server-arg is passed to the server before the map (e.g. --record FILE).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "lockstep_bench: %s\n", what.c_str());
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

pid_t spawn(const std::vector<std::string>& argv, const std::string& outPath) {
  std::fflush(stdout);  // the child must not print this process's buffered lines again
  const pid_t pid = ::fork();
  if (pid < 0) die("fork failed");
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::freopen(outPath.c_str(), "w", stdout);
    ::execvp(args[0], args.data());
    std::_Exit(127);
  }
  return pid;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int connectTo(int port) {
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

// Plays the game: one bare ";" per "T", at once. Returns the simulated run
// time in milliseconds, summed over the runs (from the "E" messages).
double answerEveryTelemetry(int socket) {
  std::vector<char> buffer(1 << 16);
  bool atMessageStart = true;
  bool inEnd = false;
  std::string endText;
  double simulatedMs = 0;
  for (;;) {
    const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    std::string replies;
    for (ssize_t i = 0; i < got; ++i) {
      const char c = buffer[static_cast<std::size_t>(i)];
      if (atMessageStart) {
        if (c == 'T') replies += ';';
        inEnd = c == 'E';
        endText.clear();
      } else if (inEnd) {
        endText += c;
      }
      atMessageStart = c == ';';
      if (atMessageStart && inEnd) simulatedMs += std::atof(endText.c_str());
    }
    if (!replies.empty() && ::send(socket, replies.data(), replies.size(), MSG_NOSIGNAL) < 0) break;
  }
  return simulatedMs;
}

// The run times the server wrote in its results document, summed.
double runTimeFromResults(const std::string& document) {
  static const std::regex runTime(R"("run_ms": (\d+))");
  double total = 0;
  for (std::sregex_iterator it(document.begin(), document.end(), runTime), end; it != end; ++it) {
    total += std::stod((*it)[1]);
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  std::string server = "./server";
  int games = 5;
  std::vector<std::string> client;
  std::vector<std::string> serverArgs;
  std::string map;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--server" && i + 1 < argc) {
      server = argv[++i];
    } else if (a == "--server-arg" && i + 1 < argc) {
      serverArgs.push_back(argv[++i]);
    } else if (a == "--games" && i + 1 < argc) {
      games = std::atoi(argv[++i]);
    } else if (a == "--client" && i + 1 < argc) {
      for (++i; i < argc - 1; ++i) client.push_back(argv[i]);
      --i;
    } else {
      map = a;
    }
  }
  if (map.empty())
    die("usage: lockstep_bench [--server PATH] [--games N] [--server-arg ARG]... [--client COMMAND...] MAP");

  std::signal(SIGPIPE, SIG_IGN);
  std::vector<double> perMinute;
  for (int g = 0; g < games; ++g) {
    const int port = freePort();
    const std::string outPath = "/tmp/lockstep_bench_" + std::to_string(::getpid()) + ".out";
    const std::string resultsPath = "/tmp/lockstep_bench_" + std::to_string(::getpid()) + ".results.json";
    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    std::vector<std::string> serverCommand = {server, "--lockstep", "--reply-timeout",
                                              "0",    "-p",         std::to_string(port)};
    serverCommand.insert(serverCommand.end(), serverArgs.begin(), serverArgs.end());
    // Another controller's run times come from the server's results.
    if (!client.empty()) serverCommand.insert(serverCommand.end(), {"--results", resultsPath});
    serverCommand.push_back(map);
    const pid_t serverPid = spawn(serverCommand, outPath);
    double simulatedMs = 0;
    Clock::time_point start;
    if (client.empty()) {
      const int socket = connectTo(port);
      start = Clock::now();
      simulatedMs = answerEveryTelemetry(socket);
      ::close(socket);
    } else {
      std::vector<std::string> command = client;
      for (std::string& word : command) {
        const std::size_t at = word.find("{port}");
        if (at != std::string::npos) word.replace(at, 6, std::to_string(port));
      }
      // Give the server a moment to listen; the controller retries anyway.
      start = Clock::now();
      const pid_t clientPid = spawn(command, "/dev/null");
      int status = 0;
      ::waitpid(clientPid, &status, 0);
    }
    int status = 0;
    ::waitpid(serverPid, &status, 0);
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    const std::string out = readFile(outPath);
    std::remove(outPath.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die("the server failed:\n" + out);
    if (!client.empty()) {
      simulatedMs = runTimeFromResults(readFile(resultsPath));
      std::remove(resultsPath.c_str());
    }
    const double cpu = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                       (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                       1e-6 * ((after.ru_utime.tv_usec - before.ru_utime.tv_usec) +
                               (after.ru_stime.tv_usec - before.ru_stime.tv_usec));
    const double minutes = simulatedMs / 60000.0;
    perMinute.push_back(wallMs / minutes);
    std::printf(
        "game %d: %.1f simulated s in %.1f ms wall (%.1f ms per simulated minute, %.0fx real time); "
        "CPU of the child processes (server%s) %.3f s\n",
        g + 1, simulatedMs / 1000, wallMs, wallMs / minutes, simulatedMs / wallMs,
        client.empty() ? "" : " and client", cpu);
  }
  std::sort(perMinute.begin(), perMinute.end());
  std::printf("median: %.1f ms wall per simulated minute (%.0fx real time)\n",
              perMinute[perMinute.size() / 2], 60000.0 / perMinute[perMinute.size() / 2]);
}
