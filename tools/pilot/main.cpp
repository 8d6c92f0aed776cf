// pilot: an example controller that drives the rover home in every run.
//
//   pilot [host] [port]        (defaults: localhost 17676)
//
// It prints one line per run and exits with status 0 when the server closes
// the connection after the last run, 1 on any failure, 2 for a bad command
// line. The protocol is the C++ starter kit's (clients/cpp); the planning is
// pilot's own.

#include <iostream>
#include <string>

#include "pilot_bot.h"
#include "rover/run_bot.h"

int main(int argc, char** argv) {
  rover::pilot::PilotBot bot([](const std::string& line) { std::cout << line << std::endl; });
  return rover::client::runBot(bot, argc, argv);
}
