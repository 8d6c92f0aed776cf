// library_bench: how fast librover plays, beside the lockstep server playing
// the same game in the same run.
//
//   library_bench [--server PATH] [--actions FILE] [--batch N] [--rounds R]
//                 [--steps S] [--server-steps T] [--processes P] MAP
//
// The library side steps N games (seeds 0..N-1) through rover_step_batch
// until S steps are done; a game's k-th "T" gets the k-th action of FILE
// (digits 0-8, as bench/lib/pilot_actions.py writes them from a pilot game;
// repeated when the game is longer; without FILE, action 0: a parked rover).
// Its time is the thread's CPU time, so the figure is per core. The server
// side plays seed 0 on `server --lockstep --reply-timeout 0` with a client
// in this process that answers the k-th "T" with the same action's reply at
// once; its figure is "T" messages per wall second, the client on the other
// core. Rounds alternate the two. With --processes P, P copies of the
// library side run at once after the rounds: their steps per wall second
// beside one's (which needs an idle machine), and the sum of their rates per
// CPU second beside one's (what running side by side costs each).
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench_processes.h"
#include "lib/rover.h"

namespace {

using rover::bench::connectTo;
using rover::bench::die;
using rover::bench::exitedCleanly;
using rover::bench::freePort;
using rover::bench::spawn;

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<std::uint8_t> readActions(const std::string& path) {
  if (path.empty()) return {0};
  std::ifstream in(path);
  std::vector<std::uint8_t> actions;
  for (char c; in.get(c);) {
    if (c >= '0' && c <= '8') actions.push_back(static_cast<std::uint8_t>(c - '0'));
  }
  if (actions.empty()) die("no actions in " + path);
  return actions;
}

struct Rate {
  double count = 0;    // steps, or "T" messages
  double seconds = 0;  // CPU (library) or wall (server)
  double wall = 0;     // wall seconds
  double perSecond() const { return count / seconds; }
};

// Steps `batch` games until `steps` steps are done; CPU time of this thread.
Rate libraryRound(rover_map* map, std::size_t batch, const std::vector<std::uint8_t>& script, long steps) {
  char error[512] = "";
  std::vector<rover_game*> games(batch);
  std::vector<std::size_t> answered(batch, 0);  // "T"s each game has answered
  for (std::size_t g = 0; g < batch; ++g) {
    games[g] = rover_game_new(map, g, nullptr, error, sizeof error);
    if (games[g] == nullptr) die(error);
  }
  std::vector<rover_step_info> infos(batch);
  std::vector<std::uint8_t> actions(batch, ROVER_BATCH_NEXT_RUN);
  long done = 0;
  const double start = threadSeconds();
  const double startWall = wallSeconds();
  while (done < steps) {
    if (rover_step_batch(games.data(), batch, actions.data(), infos.data(), nullptr, 0) != 0) {
      for (rover_game* game : games)
        if (*rover_game_error(game) != '\0') die(rover_game_error(game));
    }
    for (std::size_t g = 0; g < batch; ++g) {
      done += actions[g] != ROVER_BATCH_NEXT_RUN;
      if (infos[g].stop == ROVER_GAME_END) {  // the same game once more
        rover_game_free(games[g]);
        games[g] = rover_game_new(map, g, nullptr, error, sizeof error);
        answered[g] = 0;
      }
      if (infos[g].stop == ROVER_TELEMETRY) {
        actions[g] = script[answered[g]++ % script.size()];
      } else {
        actions[g] = ROVER_BATCH_NEXT_RUN;
      }
    }
  }
  const double seconds = threadSeconds() - start;
  const double wall = wallSeconds() - startWall;
  for (rover_game* game : games) rover_game_free(game);
  return {static_cast<double>(done), seconds, wall};
}

// One game on the server, seed 0; its "T" messages and the wall time from
// the connect to the server's exit.
Rate serverGame(const std::string& server, const std::string& map, const std::vector<std::uint8_t>& script) {
  const int port = freePort();
  const pid_t pid = spawn({server, "--lockstep", "--reply-timeout", "0", "-p", std::to_string(port), map},
                          "/dev/null", std::nullopt);
  const int socket = connectTo(port);
  const double start = wallSeconds();
  std::vector<char> buffer(1 << 16);
  bool atMessageStart = true;
  long telemetry = 0;
  for (;;) {
    const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    std::string replies;
    for (ssize_t i = 0; i < got; ++i) {
      const char c = buffer[static_cast<std::size_t>(i)];
      if (atMessageStart && c == 'T') replies += rover_action_reply(script[telemetry++ % script.size()]);
      atMessageStart = c == ';';
    }
    if (!replies.empty() && ::send(socket, replies.data(), replies.size(), MSG_NOSIGNAL) < 0) break;
  }
  ::close(socket);
  const bool clean = exitedCleanly(pid);
  const double seconds = wallSeconds() - start;
  if (!clean) die("the server failed");
  return {static_cast<double>(telemetry), seconds, seconds};
}

// Games on the server until `telemetry` "T" messages have been answered.
Rate serverRound(const std::string& server, const std::string& map, const std::vector<std::uint8_t>& script,
                 long telemetry) {
  Rate sum;
  while (sum.count < static_cast<double>(telemetry)) {
    const Rate game = serverGame(server, map, script);
    sum.count += game.count;
    sum.seconds += game.seconds;
  }
  return sum;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string loadText() {
  double load[3] = {0, 0, 0};
  if (::getloadavg(load, 3) < 0) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

// Steps per second of P copies of the library side run at once.
struct Together {
  double wall = 0;  // all their steps per wall second, from the start to the last one's end
  double cpu = 0;   // the sum of each one's steps per CPU second: what sharing the machine costs each
};

// P copies of the library side at once, each in a process of its own.
Together concurrentRate(int processes, rover_map* map, std::size_t batch,
                        const std::vector<std::uint8_t>& script, long steps) {
  std::vector<int> pipes;
  std::vector<pid_t> children;
  for (int p = 0; p < processes; ++p) {
    int ends[2];
    if (::pipe(ends) != 0) die("pipe failed");
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ends[0]);
      const Rate rate = libraryRound(map, batch, script, steps);
      if (::write(ends[1], &rate, sizeof rate) != sizeof rate) std::_Exit(1);
      std::_Exit(0);
    }
    ::close(ends[1]);
    pipes.push_back(ends[0]);
    children.push_back(pid);
  }
  double count = 0;
  double wall = 0;
  Together together;
  for (std::size_t p = 0; p < children.size(); ++p) {
    Rate rate;
    if (::read(pipes[p], &rate, sizeof rate) != sizeof rate) die("a library process failed");
    ::close(pipes[p]);
    ::waitpid(children[p], nullptr, 0);
    count += rate.count;
    wall = std::max(wall, rate.wall);
    together.cpu += rate.perSecond();
  }
  together.wall = count / wall;
  return together;
}

}  // namespace

int main(int argc, char** argv) {
  std::string server = "./server";
  std::string actionsPath;
  std::string mapPath;
  std::size_t batch = 64;
  int rounds = 5;
  int processes = 0;
  long steps = 2'000'000;
  long serverSteps = 20'000;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--server" && more) {
      server = argv[++i];
    } else if (a == "--actions" && more) {
      actionsPath = argv[++i];
    } else if (a == "--batch" && more) {
      batch = static_cast<std::size_t>(std::atol(argv[++i]));
    } else if (a == "--rounds" && more) {
      rounds = std::atoi(argv[++i]);
    } else if (a == "--steps" && more) {
      steps = std::atol(argv[++i]);
    } else if (a == "--server-steps" && more) {
      serverSteps = std::atol(argv[++i]);
    } else if (a == "--processes" && more) {
      processes = std::atoi(argv[++i]);
    } else {
      mapPath = a;
    }
  }
  if (mapPath.empty() || batch == 0 || rounds < 1)
    die("usage: library_bench [--server PATH] [--actions FILE] [--batch N] [--rounds R] [--steps S] "
        "[--server-steps T] [--processes P] MAP");
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::uint8_t> script = readActions(actionsPath);
  char error[512] = "";
  rover_map* map = rover_map_load(mapPath.c_str(), error, sizeof error);
  if (map == nullptr) die(error);

  std::printf("map %s, %zu games per batch, %s\n", mapPath.c_str(), batch,
              actionsPath.empty() ? "parked (action 0)" : ("actions of " + actionsPath).c_str());
  std::vector<double> library;
  std::vector<double> served;
  for (int r = 0; r < rounds; ++r) {
    const Rate lib = libraryRound(map, batch, script, steps);
    const Rate srv = serverRound(server, mapPath, script, serverSteps);
    library.push_back(lib.perSecond());
    served.push_back(srv.perSecond());
    std::printf(
        "round %d: library %.0f steps/s (%.0f steps, %.3f CPU s, %.2f us a step); server %.0f T/s "
        "(%.0f T in %.3f s, %.1f us a T); load %s\n",
        r + 1, lib.perSecond(), lib.count, lib.seconds, 1e6 * lib.seconds / lib.count, srv.perSecond(),
        srv.count, srv.seconds, 1e6 * srv.seconds / srv.count, loadText().c_str());
  }
  const double lib = median(library);
  const double srv = median(served);
  std::printf("median: library %.0f steps/s on one core, server %.0f T/s: %.2fx; load %s\n", lib, srv,
              lib / srv, loadText().c_str());
  if (processes > 1) {
    const Together one = concurrentRate(1, map, batch, script, steps);
    const Together many = concurrentRate(processes, map, batch, script, steps);
    std::printf(
        "scaling: %d processes %.0f steps per wall second, one %.0f: %.2fx; by CPU time %.0f and %.0f: "
        "%.2fx; load %s\n",
        processes, many.wall, one.wall, many.wall / one.wall, many.cpu, one.cpu, many.cpu / one.cpu,
        loadText().c_str());
  }
  rover_map_free(map);
  return 0;
}
