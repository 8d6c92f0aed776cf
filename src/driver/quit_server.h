#pragma once

#include "net/connection.h"

namespace rover {

// The orderly end of the server: closes the client connection, then the
// listening socket, and flushes the output streams.
void closeServer(ClientConnection& connection, int listener);

// The window's "q": closeServer, then exit with status 0.
[[noreturn]] void quitServer(ClientConnection& connection, int listener);

}  // namespace rover
