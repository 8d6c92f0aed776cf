#include "driver/command_line.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/failure.h"

namespace rover {

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A bad long option: the usage text, then "server: <option>: <reason>".
[[noreturn]] void raiseUsage(const std::string& option, const std::string& reason) {
  throw Failure(FailureKind::Usage, option + ": " + reason);
}

}  // namespace

std::int32_t readPort(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-' || text[i] == '~')) {
    negative = text[i] != '+';
    ++i;
  }
  if (i >= text.size() || !isDigit(text[i])) raiseKind(FailureKind::Option);
  // The magnitude may reach 2^31 only for a negative number; stop as soon as
  // it leaves that range so arbitrarily long digit strings are safe.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) raiseKind(FailureKind::Overflow);
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

namespace {

// Long-option values are plain decimal digits: no sign, space or suffix
// (unlike -p), leading zeros allowed, nothing empty.
std::uint64_t readDigits(const std::string& option, const std::string& text, std::uint64_t max) {
  if (text.empty()) raiseUsage(option, "needs a value");
  std::uint64_t value = 0;
  for (char c : text) {
    if (!isDigit(c)) raiseUsage(option, "\"" + text + "\" is not a number (digits 0-9 only)");
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (max - digit) / 10)
      raiseUsage(option, "\"" + text + "\" is larger than " + std::to_string(max));
    value = value * 10 + digit;
  }
  return value;
}

std::string readFileName(const std::string& option, const std::string& text) {
  if (text.empty()) raiseUsage(option, "needs a file name");
  return text;
}

// Tries a long option at the front of what is left. A known option is taken
// (with its value, if it has one) only when at least one more argument
// follows the option itself, as for -p; so a long option given last is
// still the map's name. Returns how many arguments it took.
std::size_t takeLongOption(const std::vector<std::string>& arguments, std::size_t next,
                           ServerSettings& settings) {
  const std::size_t left = arguments.size() - next;
  const std::string& option = arguments[next];
  if (left < 2) return 0;
  if (option == "--lockstep") {
    settings.lockstep = true;
    return 1;
  }
  if (option == "--verbose") {
    settings.verbose = true;
    return 1;
  }
  if (option == "--live-record") {
    settings.liveRecord = true;
    return 1;
  }
  const std::string& value = arguments[next + 1];
  if (option == "--seed") {
    settings.seed = readDigits(option, value, UINT64_MAX);
  } else if (option == "--reply-timeout") {
    settings.replyTimeoutMillis = static_cast<std::uint32_t>(readDigits(option, value, INT32_MAX));
  } else if (option == "--record") {
    settings.recordPath = readFileName(option, value);
  } else if (option == "--results") {
    settings.resultsPath = readFileName(option, value);
  } else if (option == "--timing") {
    settings.timingPath = readFileName(option, value);
  } else if (option == "--max-late") {
    settings.maxLateInARow = static_cast<std::uint32_t>(readDigits(option, value, INT32_MAX));
  } else {
    return 0;
  }
  return 2;
}

void checkCombinations(const ServerSettings& settings) {
  if (settings.lockstep && settings.showWindow)
    raiseUsage("--lockstep", "cannot be used with -v (window mode)");
  if (settings.replyTimeoutMillis && !settings.lockstep) raiseUsage("--reply-timeout", "needs --lockstep");
  if (settings.maxLateInARow && !settings.lockstep) raiseUsage("--max-late", "needs --lockstep");
  if (settings.liveRecord && !settings.recordPath) raiseUsage("--live-record", "needs --record");
}

}  // namespace

ServerSettings parseCommandLine(const std::vector<std::string>& arguments) {
  ServerSettings settings;
  std::size_t next = 0;
  for (;;) {
    const std::size_t left = arguments.size() - next;
    if (left == 0) raiseKind(FailureKind::Usage);
    if (const std::size_t taken = takeLongOption(arguments, next, settings)) {
      next += taken;
      continue;
    }
    const std::string& first = arguments[next];
    if (first == "-p" && left >= 2) {
      settings.port = readPort(arguments[next + 1]);
      next += 2;
    } else if (first == "-v") {
      if (left == 1) raiseKind(FailureKind::Usage);
      settings.showWindow = true;
      next += 1;
    } else if (left == 1) {
      settings.mapFile = first;
      checkCombinations(settings);
      return settings;
    } else {
      raiseKind(FailureKind::Usage);
    }
  }
}

const char* helpText() {
  return R"(usage: server [-v] [-p port] [options] file

Plays every run of the map in `file` against one controller that connects
over TCP, prints "Round N: <outcome>; score = <ms>" per run and exits with
status 0 after the last run (1 on any failure).

  -v                  window mode: show the world in a window; the server
                      stays up after the last run until q is pressed in it
  -p port             TCP port to listen on (default 17676)
  --lockstep          play faster than real time: simulated time waits for
                      the controller, which answers every T message with
                      exactly one reply ended by a bare ";" (e.g. "a;;" or
                      ";"); text mode only
  --reply-timeout MS  lockstep: how long to wait for each reply before the
                      game goes on as if it were empty (default 10000;
                      0 waits forever, which makes the game a pure function
                      of the map, the seed and the controller's bytes)
  --max-late N        lockstep: end the game with a failure ("Fail") after
                      N late replies in a row (default 0: never)
  --seed N            seed of the Martians' random choices, 0 to 2^64-1
                      (default 0); the same seed replays the same Martians
  --record FILE       write a game record (JSON Lines; gzip when FILE ends
                      with .gz) for replay, audit and the viewer
  --live-record       lockstep: the record's lines reach the file at every T,
                      as they always do in real time, so that a live view
                      can follow the game (a .gz record grows by 15-40 %)
  --results FILE      write the results as one JSON document when the game ends
  --timing FILE       write wall-clock timings (lockstep: reply times; real
                      time: how late each T left) as one JSON document when
                      the game ends
  --verbose           explain a failure on standard error after its line, in
                      lines starting "server: "; in lockstep also report late
                      replies and replies sent ahead of their T
  --help              print this help and exit

Options come before the map file, which is always the last argument. Values
of the long options are plain decimal digits.

Socket activation: when LISTEN_PID is the server's pid and LISTEN_FDS is 1,
the server takes fd 3 as its listening socket (IPv4 or IPv6) instead of
opening one, and -p is ignored; this is the only use it makes of the
environment.

Examples:
  server maps/open_plain.json
  server --lockstep --reply-timeout 0 --seed 7 maps/martian_patrol.json
  server --lockstep --record game.jsonl.gz --results results.json maps/crater_field.json
  server --lockstep --reply-timeout 2000 --max-late 5 --verbose --timing t.json maps/open_plain.json

The wire protocol is described in docs/protocol.md, the timing file in
docs/timing.md.
)";
}

bool wantsHelp(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--help") return true;
  }
  return false;
}

std::uint32_t replyTimeoutMillis(const ServerSettings& settings) {
  return settings.replyTimeoutMillis.value_or(kDefaultReplyTimeoutMillis);
}

}  // namespace rover
