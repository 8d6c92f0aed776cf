#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rover {

inline constexpr std::int32_t kDefaultPort = 17676;
inline constexpr std::uint32_t kDefaultReplyTimeoutMillis = 10000;

struct ServerSettings {
  std::int32_t port = kDefaultPort;
  bool showWindow = false;
  std::string mapFile;

  // Beyond the classic command line: all off or at their defaults unless given.
  bool lockstep = false;                            // --lockstep
  std::uint64_t seed = 0;                           // --seed N
  std::optional<std::uint32_t> replyTimeoutMillis;  // --reply-timeout MS (0: wait forever)
  std::optional<std::string> recordPath;            // --record FILE
  std::optional<std::string> resultsPath;           // --results FILE
  std::optional<std::string> timingPath;            // --timing FILE
  std::optional<std::uint32_t> maxLateInARow;       // --max-late N (0: no limit)
  bool verbose = false;                             // --verbose
  bool liveRecord = false;                          // --live-record
};

// The lockstep reply timeout in effect: as given, or the default.
std::uint32_t replyTimeoutMillis(const ServerSettings& settings);

// Parses "[-v] [-p port] [long options] file" (the program name excluded).
// Options may repeat and the map file must come last; otherwise a failure of
// kind "Usage". A bad value of a long option, or a combination that makes no
// sense, is also a "Usage" failure, whose message says which option and why
// (the top level prints it after the usage text). "--help" is handled before
// parsing: see wantsHelp.
ServerSettings parseCommandLine(const std::vector<std::string>& arguments);

// The full help that "--help" prints on standard output.
const char* helpText();

// True when any argument is exactly "--help".
bool wantsHelp(const std::vector<std::string>& arguments);

// Reads a decimal integer prefix: leading white space, an optional "+", "-"
// or "~" (minus), at least one digit, the rest ignored. Kind "Option"
// without digits, "Overflow" outside the 32-bit signed range.
std::int32_t readPort(const std::string& text);

}  // namespace rover
