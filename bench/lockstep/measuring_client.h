#pragma once

#include <string>

namespace rover::bench {

// What the measuring client saw of one game.
struct ClientGame {
  double simulatedMs = 0;  // the run times of the "E" messages, summed
  std::string received;    // every byte, when asked to keep them
};

// The measuring client: answers every "T" at once with a bare ";" until the
// server closes the connection, then closes its socket.
ClientGame answerEveryTelemetry(int socket, bool keepBytes);

}  // namespace rover::bench
