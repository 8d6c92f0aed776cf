#include "view/status_lines.h"

#include <gtest/gtest.h>

namespace rover {
namespace {

RunReport result(Outcome outcome, const char* score) {
  RunReport report;
  report.outcome = outcome;
  report.scoreMillis = mpz_class(score);
  return report;
}

TEST(StatusLines, TableOfRunStates) {
  struct Case {
    const char* name;
    std::vector<RunReport> results;
    int currentRun;
    bool inPlay;
    std::int64_t elapsedNanos;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"before the first run", {}, 0, false, 0, {}},
      {"first run at its start", {}, 1, true, 0, {"Run 1: 0.0 sec"}},
      {"rounds to one decimal", {}, 1, true, 12'349'000'000, {"Run 1: 12.3 sec"}},
      {"rounds up", {}, 2, true, 960'000'000, {"Run 2: 1.0 sec"}},
      {"pause after a run",
       {result(Outcome::ReachedHome, "12345")},
       1,
       false,
       5'000'000'000,
       {"Run 1: reached home; score = 12345"}},
      {"every outcome then the run in play",
       {result(Outcome::KilledByMartian, "115600"), result(Outcome::CrashedIntoCrater, "116000"),
        result(Outcome::TimeLimitExceeded, "60100"), result(Outcome::ReachedHome, "41230")},
       5,
       true,
       2'050'000'000,
       {"Run 1: killed by Martian; score = 115600", "Run 2: crashed into crater; score = 116000",
        "Run 3: time limit exceeded; score = 60100", "Run 4: reached home; score = 41230", "Run 5: 2.0 sec"}},
      {"scores beyond 64 bits",
       {result(Outcome::TimeLimitExceeded, "36893488147419103332")},
       1,
       false,
       0,
       {"Run 1: time limit exceeded; score = 36893488147419103332"}},
      {"negative scores",
       {result(Outcome::TimeLimitExceeded, "-900")},
       1,
       false,
       0,
       {"Run 1: time limit exceeded; score = -900"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(statusLines(c.results, c.currentRun, c.inPlay, TimeValue::fromNanos(c.elapsedNanos)),
              c.expected)
        << c.name;
  }
}

}  // namespace
}  // namespace rover
