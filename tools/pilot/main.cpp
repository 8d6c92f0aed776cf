// pilot: an example controller that drives the rover home in every run.
//
//   pilot [host] [port]        (defaults: localhost 17676)
//   pilot --help
//
// It prints one line per run and exits with status 0 when the server closes
// the connection after the last run, 1 on any failure, 2 for a bad command
// line. The protocol is the C++ starter kit's (clients/cpp); the planning is
// pilot's own.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "pilot_bot.h"
#include "rover/run_bot.h"

namespace {

// Named as it was started: "pilot" in the build tree, "rover-pilot" installed.
void printHelp(const char* program) {
  const char* slash = std::strrchr(program, '/');
  const char* name = slash != nullptr ? slash + 1 : program;
  std::printf(
      "usage: %s [host] [port]\n"
      "\n"
      "An example controller: connects to the server at host and port, drives\n"
      "the rover home in every run around the craters, boulders and Martians it\n"
      "has seen, and prints one line per run.\n"
      "\n"
      "  host    the server's host name or address (default localhost)\n"
      "  port    the server's TCP port, digits only (default 17676)\n"
      "  --help  print this help and exit\n"
      "\n"
      "It retries the connection for 10 seconds while nothing listens. Exit\n"
      "status: 0 when the server ends the game after the last run, 1 on any\n"
      "failure (said on standard error), 2 for a bad command line.\n",
      name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    printHelp(argv[0]);
    return 0;
  }
  rover::pilot::PilotBot bot([](const std::string& line) { std::cout << line << std::endl; });
  return rover::client::runBot(bot, argc, argv);
}
