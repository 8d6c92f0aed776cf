#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rover::bench {

// One instant of a lockstep game as its client received it: the messages
// the server sent in it, each with its ";", and how many of them were "T"
// messages, each owed a reply before the game goes on.
struct FloorInstant {
  std::vector<std::string> messages;
  int telemetry = 0;
};

// Splits a lockstep game's bytes into its instants: messages in a row that
// carry the same time belong to one instant (within a run time only grows,
// and a run's first instant, at 0, follows its predecessor's "E" at a later
// time); "I" stands alone. Bytes after the last ";" are no message.
std::vector<FloorInstant> splitInstants(std::string_view stream);

// The floor of a lockstep game: what the machine needs only to exchange the
// game's messages. Accepts one client on `listener` and sends it each
// instant's messages through the server's own output buffer and socket
// transport (the same 1200-byte blocks), then waits for the replies owed
// through the server's own lockstep input (the same short spin, then a
// blocking wait); as the server, it does not wait after the last instant.
// Simulates and formats nothing. Returns the exit status: 0, or 1 after a
// failure it reports on stderr.
int playFloor(int listener, const std::vector<FloorInstant>& instants);

}  // namespace rover::bench
