// What --verbose and --max-late add: the line that explains a failure, and
// in lockstep the late replies, played through the game on the in-memory
// transport (where a reply not yet sent is late at once, whatever the timeout).
#include "driver/verbose_lines.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/failure.h"
#include "game_fixture.h"

namespace rover {
namespace {

using testing::CapturedStream;
using testing::GameHarness;

TEST(VerboseFailureLine, PositionMessageAndDetailInOneEscapedLine) {
  const std::vector<std::pair<Failure, std::string>> cases = {
      {Failure(FailureKind::Fail, "illegal command \"\na\"").because("why"),
       "server: illegal command \"\\na\": why\n"},
      // Every byte that could break the line, or hide in it, is escaped.
      {Failure(FailureKind::Fail, std::string("illegal command \"\\\t\r\x7f\x01\xc3\0\"", 25)),
       "server: illegal command \"\\\\\\t\\r\\x7f\\x01\\xc3\\x00\"\n"},
      {Failure(FailureKind::Fail).at({3, 14}).because("\"timeLimit\": expected an integer"),
       "server: line 3, column 14: \"timeLimit\": expected an integer\n"},
      {Failure(FailureKind::Fail, "unexpected end of input").at({1, 0}),
       "server: line 1, column 0: unexpected end of input\n"},
      {Failure(FailureKind::Io).at({0, 0}).because("No such file or directory"),
       "server: Io: No such file or directory\n"},
      {Failure(FailureKind::Empty), "server: Empty\n"},
      {Failure(FailureKind::SysErr, "Broken pipe", EPIPE).because("while sending"),
       "server: Broken pipe: while sending\n"},
  };
  for (const auto& [failure, line] : cases) EXPECT_EQ(verboseFailureLine(failure), line) << line;
}

// Two runs of 1 s in which nothing moves: "T" at 0, 100, ..., 1000 each.
// Replies 1 to 11 answer run 1's, 12 to 21 run 2's; the instant that ends
// the game waits for nothing, so reply 22 is never awaited.
MapSpec stillMap() {
  return testing::makeTestMap(1000, {{}, {}});
}
constexpr int kAwaited = 21;

std::string tOf(int reply) {
  return "T " + std::to_string(((reply - 1) % 11) * 100);
}

struct Played {
  std::optional<std::string> failure;  // the message of the failure that ended the game
  int telemetry = 0;                   // "T" messages sent
  int lateReported = 0;                // late replies in the run reports
  std::string err;                     // what --verbose printed
};

// Plays with every reply in `late` withheld, each other one sent at once
// (with one more bare ";" for each withheld one before it: a late reply's
// bytes, when they come, are thrown away).
Played play(const std::set<int>& late, std::uint32_t maxLate) {
  LockstepOptions options = LockstepOptions::withTimeoutMillis(2000);
  options.maxLateInARow = maxLate;
  GameHarness h(stillMap(), {.mode = PlayMode::Lockstep, .lockstep = options, .timeReplies = true});
  CapturedStream err;
  VerboseReplies verbose(err.file(), 2000);
  h.listeners.add(verbose);
  Played played;
  int withheld = 0;
  try {
    h.playAnswering([&](int k, const std::string&) {
      played.telemetry = k;
      if (late.count(k) != 0) {
        ++withheld;
        return std::string();
      }
      return std::string(static_cast<std::size_t>(std::exchange(withheld, 0)) + 1, ';');
    });
  } catch (const Failure& failure) {
    played.failure = failure.message();
  }
  for (const RunReport& report : h.recorder.reports) played.lateReported += report.lateReplies;
  played.err = err.text();
  return played;
}

// The oracle: the reply that completes the first run of maxLate late
// replies in a row, if any.
std::optional<int> firstStreakEnd(const std::set<int>& late, std::uint32_t maxLate) {
  std::uint32_t inARow = 0;
  for (int k = 1; k <= kAwaited; ++k) {
    inARow = late.count(k) != 0 ? inARow + 1 : 0;
    if (maxLate > 0 && inARow == maxLate) return k;
  }
  return std::nullopt;
}

// Random late replies and limits: the game ends exactly at the reply that
// makes maxLate in a row, across run boundaries too, and never when they
// are spread out; every late reply before the end has its line, in order.
TEST(MaxLate, EndsAtTheFirstStreakAndOnlyThere) {
  std::mt19937 random(21);
  std::vector<std::pair<std::set<int>, std::uint32_t>> cases = {
      {{3, 6, 9, 12, 15}, 2},  // spread out: never two in a row
      {{10, 11, 12}, 3},       // the streak crosses from run 1 into run 2
      {{4, 5}, 3},
      {{1, 2, 3}, 0},  // 0: no limit
  };
  for (int i = 0; i < 40; ++i) {
    std::set<int> late;
    const int percent = 10 + 10 * (i % 5);
    for (int k = 1; k <= kAwaited; ++k) {
      if (static_cast<int>(random() % 100) < percent) late.insert(k);
    }
    cases.emplace_back(late, 1 + static_cast<std::uint32_t>(random() % 4));
  }
  for (const auto& [late, maxLate] : cases) {
    std::string shown;
    for (int k : late) shown += std::to_string(k) + " ";
    SCOPED_TRACE("late: " + shown + "max: " + std::to_string(maxLate));
    const Played played = play(late, maxLate);
    const std::optional<int> end = firstStreakEnd(late, maxLate);
    std::string expectedErr;
    for (int k : late) {
      if (end && k > *end) break;
      expectedErr +=
          "server: reply to " + tOf(k) + " late after 2000 ms: no bare ';' yet; received nothing\n";
    }
    EXPECT_EQ(played.err, expectedErr);
    if (end) {
      EXPECT_EQ(played.failure, std::to_string(maxLate) + " late replies in a row");
      EXPECT_EQ(played.telemetry, *end) << "the game stops at the wait for that reply";
    } else {
      EXPECT_EQ(played.failure, std::nullopt);
      EXPECT_EQ(played.lateReported, static_cast<int>(late.size()));
    }
  }
}

}  // namespace
}  // namespace rover
