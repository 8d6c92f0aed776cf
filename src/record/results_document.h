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

// Opens a document about one game, as the results and the timing file do:
// "{", then "format" (the given name), "version" 1, "server", "map",
// "mode", "seed" and "reply_timeout_ms", one member a line.
std::string gameDocumentHead(const GameInfo& info, const std::string& format);

}  // namespace rover
