#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"

namespace rover {
namespace {

struct ParseCase {
  std::vector<std::string> arguments;
  // Either the settings or the failure kind.
  std::optional<ServerSettings> settings;
  std::string failureKind;
};

ServerSettings settings(std::int32_t port, bool window, std::string file) {
  ServerSettings result;
  result.port = port;
  result.showWindow = window;
  result.mapFile = std::move(file);
  return result;
}

std::string failureKind(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.kindName();
  }
  return "";
}

TEST(ParseCommandLine, FollowsTheRulesInOrder) {
  const std::vector<ParseCase> cases = {
      {{"map.json"}, settings(17676, false, "map.json"), ""},
      {{"-v", "map.json"}, settings(17676, true, "map.json"), ""},
      {{"-v", "-v", "map.json"}, settings(17676, true, "map.json"), ""},
      {{"-p", "10", "-p", "20", "map.json"}, settings(20, false, "map.json"), ""},
      {{"-p", "4000", "-v", "m"}, settings(4000, true, "m"), ""},
      {{"-v", "-p", "4000", "m"}, settings(4000, true, "m"), ""},
      // A lone "-p" has no value after it, so it is the map file.
      {{"-p"}, settings(17676, false, "-p"), ""},
      {{"-v", "-p"}, settings(17676, true, "-p"), ""},
      // Anything that is last is the map file, even option-looking text.
      {{"-x"}, settings(17676, false, "-x"), ""},
      {{"-p", "70000", "m"}, settings(70000, false, "m"), ""},
      {{}, std::nullopt, "Usage"},
      {{"-v"}, std::nullopt, "Usage"},
      {{"map.json", "-v"}, std::nullopt, "Usage"},
      {{"a.json", "b.json"}, std::nullopt, "Usage"},
      {{"-p", "80"}, std::nullopt, "Usage"},
      {{"-x", "map.json"}, std::nullopt, "Usage"},
      {{"map.json", "-p", "80"}, std::nullopt, "Usage"},
      // The port is read before the rest is looked at.
      {{"-p", "abc", "map.json"}, std::nullopt, "Option"},
      {{"-p", "abc", "-v"}, std::nullopt, "Option"},
      {{"-p", "99999999999", "m"}, std::nullopt, "Overflow"},
  };
  for (const ParseCase& c : cases) {
    std::string joined;
    for (const std::string& a : c.arguments) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    if (c.settings) {
      const ServerSettings got = parseCommandLine(c.arguments);
      EXPECT_EQ(got.port, c.settings->port);
      EXPECT_EQ(got.showWindow, c.settings->showWindow);
      EXPECT_EQ(got.mapFile, c.settings->mapFile);
    } else {
      EXPECT_EQ(failureKind([&] { parseCommandLine(c.arguments); }), c.failureKind);
    }
  }
}

// What a long-option line parses to: the settings (lockstep, seed, timeout,
// record, map) in one text, or "Kind: message" of its failure.
std::string parsed(const std::vector<std::string>& arguments) {
  try {
    const ServerSettings s = parseCommandLine(arguments);
    std::string text = std::string(s.lockstep ? "lockstep" : "realtime") + " seed=" + std::to_string(s.seed);
    if (s.replyTimeoutMillis) text += " timeout=" + std::to_string(*s.replyTimeoutMillis);
    if (s.recordPath) text += " record=" + *s.recordPath;
    if (s.resultsPath) text += " results=" + *s.resultsPath;
    if (s.timingPath) text += " timing=" + *s.timingPath;
    if (s.maxLateInARow) text += " max-late=" + std::to_string(*s.maxLateInARow);
    if (s.verbose) text += " verbose";
    if (s.liveRecord) text += " live-record";
    if (s.showWindow) text += " window";
    return text + " port=" + std::to_string(s.port) + " map=" + s.mapFile;
  } catch (const Failure& failure) {
    return std::string(failure.kindName()) + (failure.message() ? ": " + *failure.message() : "");
  }
}

// Long options are tried before -p and -v at every step, and only taken when
// something follows them; the classic rules and their failures keep their
// order. Values are plain digits with their own ranges.
TEST(ParseCommandLine, LongOptions) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--lockstep", "m"}, "lockstep seed=0 port=17676 map=m"},
      {{"--lockstep"}, "realtime seed=0 port=17676 map=--lockstep"},
      {{"-v", "--lockstep"}, "realtime seed=0 window port=17676 map=--lockstep"},
      {{"--seed", "42", "-p", "9", "--lockstep", "--reply-timeout", "0", "m"},
       "lockstep seed=42 timeout=0 port=9 map=m"},
      {{"--seed", "007", "--seed", "18446744073709551615", "m"},
       "realtime seed=18446744073709551615 port=17676 map=m"},
      {{"--lockstep", "--reply-timeout", "2147483647", "m"},
       "lockstep seed=0 timeout=2147483647 port=17676 map=m"},
      {{"--record", "g.jsonl.gz", "--results", "r.json", "-v", "m"},
       "realtime seed=0 record=g.jsonl.gz results=r.json window port=17676 map=m"},
      {{"--seed"}, "realtime seed=0 port=17676 map=--seed"},  // a long option given last is the map
      {{"--seed", "x"}, "Usage: --seed: \"x\" is not a number (digits 0-9 only)"},
      {{"--seed", "+5", "m"}, "Usage: --seed: \"+5\" is not a number (digits 0-9 only)"},
      {{"--seed", "", "m"}, "Usage: --seed: needs a value"},
      {{"--seed", "18446744073709551616", "m"},
       "Usage: --seed: \"18446744073709551616\" is larger than 18446744073709551615"},
      {{"--lockstep", "--reply-timeout", "2147483648", "m"},
       "Usage: --reply-timeout: \"2147483648\" is larger than 2147483647"},
      {{"--record", "", "m"}, "Usage: --record: needs a file name"},
      {{"-v", "--lockstep", "m"}, "Usage: --lockstep: cannot be used with -v (window mode)"},
      {{"--reply-timeout", "5", "m"}, "Usage: --reply-timeout: needs --lockstep"},
      {{"-v", "--lockstep", "-p", "abc", "m"}, "Option"},
      // --verbose takes no value and, like --lockstep, is the map when last.
      {{"--verbose", "--lockstep", "--max-late", "5", "--timing", "t.json", "m"},
       "lockstep seed=0 timing=t.json max-late=5 verbose port=17676 map=m"},
      {{"--verbose"}, "realtime seed=0 port=17676 map=--verbose"},
      {{"--lockstep", "--verbose"}, "lockstep seed=0 port=17676 map=--verbose"},
      {{"--timing"}, "realtime seed=0 port=17676 map=--timing"},
      {{"--max-late", "3"}, "Usage"},
      {{"-v", "--verbose", "--timing", "t", "m"}, "realtime seed=0 timing=t verbose window port=17676 map=m"},
      {{"--lockstep", "--max-late", "0", "m"}, "lockstep seed=0 max-late=0 port=17676 map=m"},
      {{"--max-late", "5", "m"}, "Usage: --max-late: needs --lockstep"},
      {{"--lockstep", "--max-late", "-1", "m"},
       "Usage: --max-late: \"-1\" is not a number (digits 0-9 only)"},
      {{"--timing", "", "m"}, "Usage: --timing: needs a file name"},
      {{"--lockstep", "--live-record", "--record", "r.gz", "m"}, "lockstep seed=0 record=r.gz live-record port=17676 map=m"},
      {{"--live-record", "m"}, "Usage: --live-record: needs --record"},
      {{"--live-record"}, "realtime seed=0 port=17676 map=--live-record"},
      {{"--seed", "5"}, "Usage"},
      {{"--foo", "m"}, "Usage"},
      {{"m", "--lockstep"}, "Usage"},
  };
  for (const auto& [arguments, expected] : cases) {
    std::string joined;
    for (const std::string& a : arguments) joined += "[" + a + "]";
    EXPECT_EQ(parsed(arguments), expected) << joined;
  }
  EXPECT_TRUE(wantsHelp({"-p", "--help"}));
  EXPECT_FALSE(wantsHelp({"--help=1", "m"}));
}

TEST(ReadPort, ReadsADecimalPrefix) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"8080", 8080},
      {"+80", 80},
      {"~5", -5},
      {"-5", -5},
      {" 8080x", 8080},
      {"\t\n 12", 12},
      {"007", 7},
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"~2147483648", -2147483647 - 1},
      {"000000000000000000000042", 42},
      {"12 34", 12},
      {"1.5", 1},
  };
  for (const auto& [text, port] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(readPort(text), port);
  }
}

TEST(ReadPort, RejectsTextWithoutDigitsAndOutOfRangeNumbers) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"abc", "Option"},
      {"", "Option"},
      {"   ", "Option"},
      {"+", "Option"},
      {"~", "Option"},
      {"+-5", "Option"},
      {"- 5", "Option"},
      {"x80", "Option"},
      {"2147483648", "Overflow"},
      {"+2147483648", "Overflow"},
      {"-2147483649", "Overflow"},
      {"99999999999999999999999999999999", "Overflow"},
  };
  for (const auto& [text, kind] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(failureKind([&] { readPort(text); }), kind);
  }
}

}  // namespace
}  // namespace rover
