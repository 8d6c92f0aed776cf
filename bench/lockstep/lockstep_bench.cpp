// lockstep_bench: how fast a lockstep game runs, beside its floor. Starts the
// server with --lockstep --reply-timeout 0 on a map and plays it to the end
// with the built-in measuring client, which answers every "T" at once with a
// bare ";". The floor is what the machine needs only to exchange the same
// messages (floor_game.h): a first game records them, then server and floor
// games alternate, each timed from the client's connect to the end of the
// server's (or floor's) process.
//
//   lockstep_bench [--server PATH] [--games N] [--unpinned] [--server-arg ARG]...
//                  [--client COMMAND...] MAP
//
// Pinned (the default), the server or floor runs on one processor and the
// client on another; --unpinned leaves all of them to the scheduler, as users
// run them. Each --server-arg is passed to the server before the map (e.g.
// --record FILE). With --client, the rest of the line is a controller
// command to run instead of the built-in client ("{port}" in it is replaced
// by the server's port); its run times come from the results document the
// server writes (--results), and no floor is measured.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "bench_processes.h"
#include "floor_game.h"
#include "measuring_client.h"
#include "net/connection.h"

namespace {

using namespace rover::bench;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string server = "./server";
  int games = 7;
  bool pinned = true;
  std::vector<std::string> client;
  std::vector<std::string> serverArgs;
  std::string map;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--server" && i + 1 < argc) {
      o.server = argv[++i];
    } else if (a == "--server-arg" && i + 1 < argc) {
      o.serverArgs.push_back(argv[++i]);
    } else if (a == "--games" && i + 1 < argc) {
      o.games = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--unpinned") {
      o.pinned = false;
    } else if (a == "--client" && i + 1 < argc) {
      for (++i; i < argc - 1; ++i) o.client.push_back(argv[i]);
      --i;
    } else {
      o.map = a;
    }
  }
  if (o.map.empty()) {
    die("usage: lockstep_bench [--server PATH] [--games N] [--unpinned] [--server-arg ARG]... "
        "[--client COMMAND...] MAP");
  }
  return o;
}

// One timed game.
struct Game {
  double wallMs = 0;
  double cpuSeconds = 0;  // of the child processes: server or floor, and a --client controller
  double simulatedMs = 0;
  std::string received;
};

double childCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Where each process of a game runs: the server or floor, and the client.
struct Placement {
  std::optional<int> server;
  std::optional<int> client;
};

double runTimeFromResults(const std::string& document) {
  static const std::regex runTime(R"("run_ms": (\d+))");
  double total = 0;
  for (std::sregex_iterator it(document.begin(), document.end(), runTime), end; it != end; ++it) {
    total += std::stod((*it)[1]);
  }
  return total;
}

Game serverGame(const Options& o, const Placement& at) {
  const int port = freePort();
  const std::string base = "/tmp/lockstep_bench_" + std::to_string(::getpid());
  const std::string outPath = base + ".out";
  const std::string resultsPath = base + ".results.json";
  std::vector<std::string> command = {o.server, "--lockstep", "--reply-timeout",
                                      "0",      "-p",         std::to_string(port)};
  command.insert(command.end(), o.serverArgs.begin(), o.serverArgs.end());
  if (!o.client.empty()) command.insert(command.end(), {"--results", resultsPath});
  command.push_back(o.map);
  Game game;
  const double cpuBefore = childCpuSeconds();
  const pid_t server = spawn(command, outPath, at.server);
  Clock::time_point start;
  if (o.client.empty()) {
    const int socket = connectTo(port);
    start = Clock::now();
    ClientGame played = answerEveryTelemetry(socket, true);
    game.simulatedMs = played.simulatedMs;
    game.received = std::move(played.received);
  } else {
    std::vector<std::string> controller = o.client;
    for (std::string& word : controller) {
      const std::size_t found = word.find("{port}");
      if (found != std::string::npos) word.replace(found, 6, std::to_string(port));
    }
    start = Clock::now();
    if (!exitedCleanly(spawn(controller, "/dev/null", at.client))) die("the controller failed");
  }
  const bool clean = exitedCleanly(server);
  game.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  game.cpuSeconds = childCpuSeconds() - cpuBefore;
  const std::string out = readFile(outPath);
  std::remove(outPath.c_str());
  if (!clean) die("the server failed:\n" + out);
  if (!o.client.empty()) {
    game.simulatedMs = runTimeFromResults(readFile(resultsPath));
    std::remove(resultsPath.c_str());
  }
  return game;
}

Game floorGame(const std::vector<FloorInstant>& instants, const Placement& at) {
  const int port = freePort();
  const int listener = rover::openListener(port);
  Game game;
  const double cpuBefore = childCpuSeconds();
  const pid_t floor = forkJob(at.server, [&] { return playFloor(listener, instants); });
  rover::closeSocket(listener);
  const int socket = connectTo(port);
  const Clock::time_point start = Clock::now();
  ClientGame played = answerEveryTelemetry(socket, true);
  const bool clean = exitedCleanly(floor);
  game.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  game.cpuSeconds = childCpuSeconds() - cpuBefore;
  if (!clean) die("the floor failed");
  game.simulatedMs = played.simulatedMs;
  game.received = std::move(played.received);
  return game;
}

void printGame(const char* who, int number, const Game& g) {
  const double minutes = g.simulatedMs / 60000.0;
  std::printf(
      "%s game %d: %.1f simulated s in %.1f ms wall (%.1f ms per simulated minute, %.0fx real time); "
      "CPU of the child processes %.3f s\n",
      who, number, g.simulatedMs / 1000, g.wallMs, g.wallMs / minutes, g.simulatedMs / g.wallMs,
      g.cpuSeconds);
}

struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
};

Spread spreadOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {median, values.front(), values.back()};
}

std::vector<double> each(const std::vector<Game>& games, double Game::*field) {
  std::vector<double> values;
  for (const Game& g : games) values.push_back(g.*field);
  return values;
}

void printSummary(const char* who, const std::vector<Game>& games) {
  const Spread w = spreadOf(each(games, &Game::wallMs));
  const Spread c = spreadOf(each(games, &Game::cpuSeconds));
  const double simulatedMs = games.front().simulatedMs;
  std::printf(
      "%-6s median %7.1f ms wall (min %.1f, max %.1f; %.1f ms per simulated minute, %.0fx real time), "
      "CPU %.1f ms (min %.1f, max %.1f)\n",
      who, w.median, w.low, w.high, w.median / (simulatedMs / 60000.0), simulatedMs / w.median,
      c.median * 1000, c.low * 1000, c.high * 1000);
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  std::signal(SIGPIPE, SIG_IGN);
  Placement at;
  if (o.pinned) {
    const auto [serverCpu, clientCpu] = twoProcessors();
    at = {serverCpu, clientCpu};
    pinTo(at.client);
  }
  std::printf("%s: the server or floor %s, the client %s\n", o.pinned ? "pinned" : "unpinned",
              at.server ? ("on processor " + std::to_string(*at.server)).c_str() : "anywhere",
              at.client ? ("on processor " + std::to_string(*at.client)).c_str() : "anywhere");

  if (!o.client.empty()) {
    std::vector<Game> games;
    for (int g = 0; g < o.games; ++g) {
      games.push_back(serverGame(o, at));
      printGame("server", g + 1, games.back());
    }
    printSummary("server", games);
    return 0;
  }

  // The first game is not timed: it records the messages the floor sends.
  const Game recorded = serverGame(o, at);
  const std::vector<FloorInstant> instants = splitInstants(recorded.received);
  std::size_t messages = 0, telemetry = 0, long_ = 0;
  for (const FloorInstant& instant : instants) {
    messages += instant.messages.size();
    telemetry += static_cast<std::size_t>(instant.telemetry);
    for (const std::string& m : instant.messages) long_ += m.size() > 1200;
  }
  std::printf("recorded: %zu bytes, %zu messages (%zu T) in %zu instants, %zu longer than 1200 bytes\n",
              recorded.received.size(), messages, telemetry, instants.size(), long_);

  // Server and floor alternate, each first in every other pair, so that a
  // drift in the machine's load weighs on both alike.
  std::vector<Game> servers;
  std::vector<Game> floors;
  for (int g = 0; g < o.games; ++g) {
    for (int half = 0; half < 2; ++half) {
      if ((half == 0) == (g % 2 == 0)) {
        servers.push_back(serverGame(o, at));
        printGame("server", g + 1, servers.back());
        if (servers.back().received != recorded.received) die("the server sent another game than the first");
      } else {
        floors.push_back(floorGame(instants, at));
        printGame("floor", g + 1, floors.back());
        if (floors.back().received != recorded.received) die("the floor sent other bytes than the server");
      }
    }
  }
  printSummary("server", servers);
  printSummary("floor", floors);
  const double wall =
      spreadOf(each(servers, &Game::wallMs)).median / spreadOf(each(floors, &Game::wallMs)).median;
  const double cpu =
      spreadOf(each(servers, &Game::cpuSeconds)).median / spreadOf(each(floors, &Game::cpuSeconds)).median;
  std::printf("ratio of the medians, server to floor: %.2f wall, %.2f CPU\n", wall, cpu);
  return 0;
}
