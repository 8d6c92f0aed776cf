#pragma once

#include <cstdint>
#include <optional>

namespace rover {

// Socket activation (systemd's convention): a program that starts the server
// may hand it an already listening socket as fd 3, with LISTEN_PID set to the
// server's pid and LISTEN_FDS=1. A runner starting many servers at once then
// never races for ports, and the server can sit behind a systemd socket unit.
// This is the one place where the server reads environment variables.

// The inherited socket when LISTEN_PID names this process and LISTEN_FDS is
// set, nullopt otherwise. It unsets LISTEN_PID, LISTEN_FDS and LISTEN_FDNAMES,
// checks that fd 3 is a listening IPv4 or IPv6 stream socket, makes it
// blocking and close-on-exec. A socket it cannot use is a system failure without an errno, so
// the top level prints "ERROR: socket activation: <why>" and exits with 1.
std::optional<int> takeInheritedListener();

// The inherited socket if there is one, else openListener(port): the one call
// the server's start-up makes to get its listening socket. Then prints
// "waiting for client connection on port <port>\n" (the number as given, or
// the inherited socket's port) and flushes standard output.
int inheritedOrOpenListener(std::int32_t port);

}  // namespace rover
