#include "driver/quit_server.h"

#include <cstdio>
#include <cstdlib>

namespace rover {

void quitServer(ClientConnection& connection, int listener) {
  connection.close();
  closeSocket(listener);
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(0);
}

}  // namespace rover
