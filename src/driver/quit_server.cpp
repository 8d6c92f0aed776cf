#include "driver/quit_server.h"

#include <cstdio>
#include <cstdlib>

namespace rover {

void closeServer(ClientConnection& connection, int listener) {
  connection.close();
  closeSocket(listener);
  std::fflush(stdout);
  std::fflush(stderr);
}

void quitServer(ClientConnection& connection, int listener) {
  closeServer(connection, listener);
  std::exit(0);
}

}  // namespace rover
