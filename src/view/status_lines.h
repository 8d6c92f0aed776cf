#pragma once

#include <string>
#include <vector>

#include "base/time_value.h"
#include "driver/game_listener.h"

namespace rover {

// The window's status column, top to bottom: "Run N: <outcome>; score = <ms>"
// for every finished run, then "Run N: 12.3 sec" for the run in play, timed
// from its start to now.
std::vector<std::string> statusLines(const std::vector<RunReport>& results, int currentRun, bool runInPlay,
                                     const TimeValue& elapsed);

}  // namespace rover
