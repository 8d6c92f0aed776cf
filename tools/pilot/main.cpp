// pilot: an example controller that drives the rover home in every run.
//
//   pilot [host] [port]        (defaults: localhost 17676)
//
// It prints one line per run and exits with status 0 when the server closes
// the connection after the last run, 1 on any failure.

#include <chrono>
#include <iostream>
#include <string>

#include "pilot_session.h"
#include "server_link.h"

int main(int argc, char** argv) {
  using namespace rover::pilot;
  if (argc > 3) {
    std::cerr << "usage: pilot [host] [port]\n";
    return 1;
  }
  std::string host = argc > 1 ? argv[1] : "localhost";
  std::string port = argc > 2 ? argv[2] : "17676";
  try {
    // The server may still be loading its map; give it a few seconds.
    ServerLink link(host, port, std::chrono::seconds(10));
    PilotSession session([](const std::string& line) { std::cout << line << std::endl; });
    for (;;) {
      std::string bytes = link.receive();
      if (bytes.empty()) break;
      std::string commands = session.onBytes(bytes);
      if (!commands.empty()) link.send(commands);
    }
    if (!session.canEndHere()) {
      std::cerr << "pilot: the server closed the connection during a run\n";
      return 1;
    }
    return 0;
  } catch (const std::exception& failure) {
    std::cerr << "pilot: " << failure.what() << "\n";
    return 1;
  }
}
