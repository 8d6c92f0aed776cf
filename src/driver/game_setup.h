#pragma once

#include <cstdint>

#include "driver/clock.h"
#include "driver/game_listener.h"
#include "map/map_spec.h"
#include "net/client_input.h"
#include "net/output_buffer.h"

namespace rover {

// Real time, or lockstep: simulated time that waits for one reply per "T".
enum class PlayMode { RealTime, Lockstep };

// Everything a Game is made from; the parts must outlive it. GameSession
// builds it (driver/game_session.h).
struct GameSetup {
  const MapSpec& map;
  OutputBuffer& output;  // the messages to the client
  ClientInput& input;    // the client's commands: real time or lockstep
  Clock& clock;          // steady in real time, virtual in lockstep, fake in tests
  GameListener& listener;
  // Decides when a run's close is announced: right after its "E" in real
  // time, after the instant's wait for the replies owed in lockstep.
  PlayMode mode = PlayMode::RealTime;
  // Text mode ends the game after the last run; window mode stays, showing
  // the results until the user quits.
  bool exitWhenDone = true;
  std::uint64_t seed = 0;  // the Martians' generator
};

}  // namespace rover
