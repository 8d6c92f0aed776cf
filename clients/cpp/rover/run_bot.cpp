#include "rover/run_bot.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "rover/server_link.h"
#include "rover/session.h"

namespace rover::client {

int runBot(Bot& bot, int argc, char** argv) {
  const char* slash = argc > 0 ? std::strrchr(argv[0], '/') : nullptr;
  std::string name = slash != nullptr ? slash + 1 : (argc > 0 ? argv[0] : "bot");
  if (argc > 3 || (argc == 3 && std::string(argv[2]).find_first_not_of("0123456789") != std::string::npos)) {
    std::cerr << "usage: " << name << " [host] [port]\n";
    return 2;
  }
  std::string host = argc > 1 ? argv[1] : "localhost";
  std::string port = argc > 2 ? argv[2] : "17676";
  try {
    // The server may still be loading its map; give it a few seconds.
    ServerLink link(host, port, std::chrono::seconds(10));
    Session session(bot);
    for (;;) {
      std::string bytes = link.receive();
      if (bytes.empty()) break;
      std::string replies = session.onBytes(bytes);
      // After the last "E" the server may be gone before our last reply.
      if (!replies.empty() && !link.send(replies) && session.canEndHere()) break;
    }
    if (!session.canEndHere()) throw ProtocolError("the server closed the connection during a run");
    return 0;
  } catch (const std::exception& failure) {
    std::cerr << name << ": " << failure.what() << "\n";
    return 1;
  }
}

}  // namespace rover::client
