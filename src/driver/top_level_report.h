#pragma once

#include <cstdio>
#include <exception>
#include <string>

#include "base/failure.h"
#include "driver/game_listener.h"

namespace rover {

inline constexpr const char* kUsageText = "usage: server [-v] [-p port] file\n";

// The one line that reports a failure that reached the top. System errors
// get the "ERROR: " form only once the map has loaded (systemErrorForm);
// before that, and for every other kind, "uncaught exception: <Kind>". The
// usage failure gives the usage text, followed by "server: <message>" when it
// names a bad long option.
std::string topLevelLine(const Failure& failure, bool systemErrorForm);

// The failure that stands for a standard exception escaping the server's
// own code (bad_alloc is "NoMemory"), so that nothing ends as a crash.
Failure failureFor(const std::exception& error);

class Game;

// The one path of a failure that ends a game, before its report line is
// printed: closes a run whose "E" the failure left unclosed (`game` is null
// when no game was built yet), then ends the listeners' game as failed with
// `line` (a trailing newline dropped). A failure on the way is dropped: it
// must not change how the first one is reported.
void endGameWithFailure(Game* game, GameListener& listener, std::string line,
                        const std::optional<Failure>& failure);

// Flushes standard output, writes topLevelLine to err, then `after` (more
// lines, empty by default), flushes err and exits with status 1.
[[noreturn]] void topLevelReport(const Failure& failure, bool systemErrorForm, std::FILE* err = stderr,
                                 const std::string& after = "");

}  // namespace rover
