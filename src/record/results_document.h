#pragma once

#include <string>
#include <vector>

#include "driver/game_listener.h"
#include "record/game_info.h"

namespace rover {

// The results document (docs/results.md) of a game: its identity, the runs
// that ended, and how it ended. The server writes it to --results; the
// replay tool rebuilds it from a record.
std::string resultsDocument(const GameInfo& info, const std::vector<RunReport>& runs,
                            const GameEnding& ending);

}  // namespace rover
