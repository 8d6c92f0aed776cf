#pragma once

#include "net/connection.h"

namespace rover {

// The normal end of the server: closes the client connection, then the
// listening socket, flushes the output streams and exits with status 0.
[[noreturn]] void quitServer(ClientConnection& connection, int listener);

}  // namespace rover
