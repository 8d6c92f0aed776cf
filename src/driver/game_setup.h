#pragma once

#include <cstdint>

#include "driver/clock.h"
#include "driver/game_listener.h"
#include "map/map_spec.h"
#include "net/client_input.h"
#include "net/output_buffer.h"

namespace rover {

// Everything a Game is made from. Fill in the parts, then construct the Game;
// the parts must outlive it.
struct GameSetup {
  MapSpec* map = nullptr;
  OutputBuffer* output = nullptr;  // the messages to the client
  ClientInput* input = nullptr;    // the client's commands: real time or lockstep
  Clock* clock = nullptr;          // steady in real time, virtual in lockstep, fake in tests
  GameListener* listener = nullptr;
  // Text mode ends the game after the last run; window mode stays, showing
  // the results until the user quits.
  bool exitWhenDone = true;
  std::uint64_t seed = 0;  // the Martians' generator
};

}  // namespace rover
