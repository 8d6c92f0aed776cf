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
  return {port, window, std::move(file)};
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
