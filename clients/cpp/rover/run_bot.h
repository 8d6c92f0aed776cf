#pragma once

#include "rover/bot.h"

namespace rover::client {

/// Plays the bot against the server at host and port from the command line
/// (`program [host] [port]`, defaults localhost 17676) until the server ends
/// the game. Returns the exit status: 0 when the game ended between runs,
/// 1 on any failure (said on standard error), 2 for a bad command line.
int runBot(Bot& bot, int argc, char** argv);

}  // namespace rover::client
