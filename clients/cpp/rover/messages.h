#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace rover::client {

// The server broke the message grammar, or the connection ended mid-message.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "I": sent once, before the first run.
struct InitMessage {
  double sizeX = 0.0;  // full side length of the square map, which spans -sizeX/2 .. sizeX/2
  double sizeY = 0.0;
  std::int64_t timeLimitMs = 0;
  double rearView = 0.0;
  double frontView = 0.0;
  double maxSpeed = 0.0;
  double turn = 0.0;      // degrees per second
  double hardTurn = 0.0;  // degrees per second
};

enum class ObjectKind { Boulder, Crater, Home, Martian };

// One object entry of a telemetry message. Circles (b, c, h) fill radius;
// Martians (m) fill heading and speed.
struct SeenObject {
  ObjectKind kind = ObjectKind::Boulder;
  double x = 0.0;
  double y = 0.0;
  double radius = 0.0;
  double heading = 0.0;
  double speed = 0.0;
};

// The rover's control state: accel -1 brake, 0 roll, 1 accelerate; turn -2
// hard right .. 2 hard left.
struct Controls {
  int accel = 0;
  int turn = 0;
  bool operator==(const Controls&) const = default;
};

// "T": what the rover senses, every 100 ms of a run and right after a bounce.
struct Telemetry {
  std::int64_t timeMs = 0;
  std::string control = "--";  // as the wire writes it, e.g. "a-"
  Controls controls;           // the same as states
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;  // degrees, counterclockwise from +x
  double speed = 0.0;
  std::vector<SeenObject> objects;
};

// "B", "C", "K" or "S": something happened to the rover at timeMs.
struct EventMessage {
  char kind = 'B';
  std::int64_t timeMs = 0;
};

// "E": the run is over.
struct EndMessage {
  std::int64_t timeMs = 0;
  std::int64_t scoreMs = 0;
};

using Message = std::variant<InitMessage, Telemetry, EventMessage, EndMessage>;

}  // namespace rover::client
