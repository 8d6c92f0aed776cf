#pragma once

// Building blocks of the end-to-end tests: map texts, a started server with its
// connected client, and readers for the message stream.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server_process.h"

namespace rover::e2e {

// A file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

using testing::ChildProcess;
using testing::Client;
using testing::TempFile;

// The eight numbers of a mover class.
struct ParamsDesc {
  double maxSpeed = 20;
  double accel = 10;
  double brake = 10;
  double turn = 20;
  double hardTurn = 60;
  double rotAccel = 120;
  double frontView = 30;
  double rearView = 5;
};

struct CircleDesc {
  double x, y, r;
};

struct EnemyDesc {
  double x, y, dir, speed, view;
};

struct RunDesc {
  double x, y, dir;
  std::vector<EnemyDesc> enemies;
};

// A map file's content; numbers are written so that they read back exactly.
// "size" and "timeLimit" are kept as JSON text so tests can write any token.
struct MapDesc {
  std::string size = "100";
  std::string timeLimit = "20000";
  ParamsDesc vehicle;
  ParamsDesc martian;
  std::vector<CircleDesc> craters;
  std::vector<CircleDesc> boulders;
  std::vector<RunDesc> runs;

  std::string json() const;
};

// A one-run map whose rover starts inside the home base: the run ends at 10 ms
// with "reached home", so the server exits with status 0 about a second after
// the client connects.
MapDesc quickMap();

// Two runs of 3 s: a boulder in the first rover's way (a bounce and its extra
// "T"), a crater, and Martians in both runs that wander by the seed.
MapDesc bumpyMap();

// Result of a finished server process.
struct Ending {
  std::optional<int> status;
  std::string out;
  std::string err;
};

// Runs the server to its end with the given arguments and no client.
Ending runWithoutClient(const std::vector<std::string>& args);

// A server started on a free port with a map, and one connected client.
class Session {
 public:
  // Starts the server with "-p <port>" (plus extra arguments before the map)
  // and, unless connect is false, waits for the waiting line and connects.
  explicit Session(const std::string& mapText, bool connect = true,
                   const std::vector<std::string>& extraArgs = {});

  int port() const { return port_; }
  ChildProcess& server() { return *server_; }
  // Throws (a test failure, not a crash) when the server never listened.
  Client& client() {
    if (!client_) throw std::runtime_error("no client: the server never printed its waiting line");
    return *client_;
  }
  // Waits for the waiting line, then connects the client.
  bool connect();
  // Reads until the server closes the connection, then waits for its exit.
  Ending finish();
  // The waiting line this session's server must print.
  std::string waitingLine() const;

 private:
  TempFile map_;
  int port_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<Client> client_;
};

// A game played to its end by a client that answers the k-th "T" of the game
// (from 1) with reply(k) the moment it arrives; with closeAtLastEnd it
// closes as soon as the runs-th "E" is in.
struct Played {
  std::string stream;
  Ending ending;
};
Played playAnswering(const std::string& mapText, const std::function<std::string(int k)>& reply,
                     const std::vector<std::string>& args, int runs, bool closeAtLastEnd = false);

// One message of the stream, split at its single spaces; fields exclude the
// letter and the final ";".
struct Message {
  std::string letter;
  std::vector<std::string> fields;
  std::string text;
};

std::vector<Message> parseMessages(const std::string& stream);

// The fixed part of a telemetry message.
struct Telemetry {
  long stamp;
  std::string control;
  std::string x, y, heading, speed;
  // Object entries, each its letter and fields joined by single spaces.
  std::vector<std::string> objects;
};

Telemetry telemetryOf(const Message& message);

// Messages of each run: the stream cut after every "E" message.
std::vector<std::vector<Message>> splitRuns(const std::vector<Message>& messages);

// Reads until a complete message after the first `from` ones satisfies
// accept, and returns its index; nullopt when the stream ends or the bound passes.
std::optional<std::size_t> awaitMessage(Client& client, std::size_t from,
                                        const std::function<bool(const Message&)>& accept,
                                        std::chrono::milliseconds bound = testing::kExitBound);

// Renders a real the way the wire does (fixed point, "-" only below zero).
std::string fixed(double value, int decimals);

// A rover driving straight ahead under full acceleration from rest, stepped
// with the server's motion equations and dt = 0.01.
class StraightDrive {
 public:
  StraightDrive(const ParamsDesc& params, double x, double y, double dir);
  void step();
  // Puts the rover somewhere else, as a bounce does.
  void place(double x, double y, double dirX, double dirY, double speed);
  double x() const { return x_; }
  double y() const { return y_; }
  double speed() const { return v_; }
  double dirX() const { return dx_; }
  double dirY() const { return dy_; }

 private:
  double accel_, drag_;
  double x_, y_, dx_, dy_, v_ = 0.0;
};

// Number of accelerated steps after which a rover driving straight from rest
// shows the speed text seen in a telemetry message; nullopt if none within limit.
std::optional<int> stepsForSpeed(const ParamsDesc& params, const std::string& speedText, int limit = 2000);

}  // namespace rover::e2e
