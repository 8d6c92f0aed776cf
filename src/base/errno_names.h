#pragma once

#include <string>

namespace rover {

// The lower-case POSIX name of an errno value without its leading E
// ("addrinuse", "pipe", ...), or "<UNKNOWN>" for a value the platform does not name.
std::string errnoName(int code);

}  // namespace rover
