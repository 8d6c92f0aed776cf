#pragma once

#include "driver/clock.h"
#include "driver/game.h"

namespace rover {

// Closer than this to the next due event, the loop stops sleeping and polls.
inline constexpr std::int64_t kSleepThresholdMillis = 5;

// One pass of the real-time text loop: sleeps (whole microseconds) while the
// next event is more than the threshold away, otherwise performs the due
// events. An empty queue is an internal failure of kind "Option".
void textLoopStep(Game& game, Clock& clock);

// The real-time text loop: runs until the game has finished.
void textLoop(Game& game, Clock& clock);

}  // namespace rover
