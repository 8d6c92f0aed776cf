#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rover {

inline constexpr std::int32_t kDefaultPort = 17676;

struct ServerSettings {
  std::int32_t port = kDefaultPort;
  bool showWindow = false;
  std::string mapFile;
};

// Parses "[-v] [-p port] file" (the program name excluded). Options may repeat
// and the map file must come last; anything else is a failure of kind
// "Usage".
ServerSettings parseCommandLine(const std::vector<std::string>& arguments);

// Reads a decimal integer prefix: leading white space, an optional "+", "-"
// or "~" (minus), at least one digit, the rest ignored. Kind "Option"
// without digits, "Overflow" outside the 32-bit signed range.
std::int32_t readPort(const std::string& text);

}  // namespace rover
