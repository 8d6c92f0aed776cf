#pragma once

#include "driver/game.h"
#include "driver/virtual_clock.h"

namespace rover {

// The lockstep loop: jumps the virtual clock to the next due time, performs
// that instant's events, then lets the game wait for the client's replies.
// Runs until the game has finished. An empty queue is an internal failure of
// kind "Option", as in the real-time loop.
void lockstepLoop(Game& game, VirtualClock& clock);

}  // namespace rover
