// rover_step_batch is the single calls in a loop: the same games stepped
// one call at a time and in batches meet the same stops and observations,
// through run ends, the move to the next run and the end of the game.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "lib/rover.h"

namespace rover::e2e {
namespace {

constexpr std::size_t kGames = 5;
constexpr std::size_t kMaxObjects = 2;  // fewer than some T's carry: the row is cut
constexpr std::size_t kRow = ROVER_OBS_SIZE(kMaxObjects);

struct Seen {
  rover_step_info info;
  std::vector<double> row;
};

bool sameStop(const rover_step_info& a, const rover_step_info& b) {
  return a.stop == b.stop && a.run == b.run && a.time_ms == b.time_ms && a.covered_ms == b.covered_ms &&
         a.outcome == b.outcome && a.started == b.started && a.score_ms == b.score_ms &&
         std::strcmp(a.events, b.events) == 0;
}

// The action of game g at its n-th call (a batch may also ask for the next run).
std::uint8_t action(std::size_t g, std::size_t n) {
  if ((g + n) % 97 == 0) return ROVER_BATCH_NEXT_RUN;  // gives up on a run now and then
  return static_cast<std::uint8_t>((g * 5 + n * 3 + n / 7) % ROVER_ACTION_COUNT);
}

struct Games {
  explicit Games(rover_map* map) {
    char error[256] = "";
    for (std::size_t g = 0; g < kGames; ++g)
      handles.push_back(rover_game_new(map, 100 + g, nullptr, error, 256));
  }
  ~Games() {
    for (rover_game* game : handles) rover_game_free(game);
  }
  std::vector<rover_game*> handles;
};

TEST(LibraryBatch, GivesWhatSingleStepsGive) {
  testing::TempFile mapFile(bumpyMap().json());
  char error[256] = "";
  std::unique_ptr<rover_map, void (*)(rover_map*)> map(rover_map_load(mapFile.path().c_str(), error, 256),
                                                       rover_map_free);
  ASSERT_TRUE(map) << error;
  Games single(map.get());
  Games batched(map.get());
  std::vector<std::vector<Seen>> one(kGames);
  std::vector<std::vector<Seen>> many(kGames);

  // One call at a time: a step when a T awaits its reply, else the next
  // run. Calls out of turn fail on the way and must change nothing.
  for (std::size_t g = 0; g < kGames; ++g) {
    rover_step_info info{};
    EXPECT_EQ(rover_step_action(single.handles[g], 1, &info), ROVER_ERROR);  // no T yet
    EXPECT_NE(std::string(rover_game_error(single.handles[g])), "");
    for (std::size_t n = 0; info.stop != ROVER_GAME_END; ++n) {
      const std::uint8_t a = action(g, n);
      const bool step = info.stop == ROVER_TELEMETRY && a != ROVER_BATCH_NEXT_RUN;
      if (step && n % 50 == 0) {
        rover_step_info refused;
        EXPECT_EQ(rover_step_action(single.handles[g], ROVER_ACTION_COUNT, &refused), ROVER_ERROR);
      }
      if (!step && info.stop == ROVER_RUN_END) {
        rover_step_info refused;
        EXPECT_EQ(rover_step(single.handles[g], ";", 1, &refused), ROVER_ERROR);  // the run is over
      }
      ASSERT_NE(
          step ? rover_step_action(single.handles[g], a, &info) : rover_next_run(single.handles[g], &info),
          ROVER_ERROR)
          << rover_game_error(single.handles[g]);
      std::vector<double> row(kRow);
      ASSERT_EQ(rover_observe(single.handles[g], row.data(), kMaxObjects), 0);
      one[g].push_back({info, row});
    }
  }

  // All games per call, until each has met its end.
  std::vector<rover_step_info> infos(kGames);
  std::vector<double> rows(kGames * kRow);
  std::vector<std::uint8_t> actions(kGames);
  for (std::size_t n = 0;; ++n) {
    for (std::size_t g = 0; g < kGames; ++g) actions[g] = action(g, n);
    ASSERT_EQ(rover_step_batch(batched.handles.data(), kGames, actions.data(), infos.data(), rows.data(),
                               kMaxObjects),
              0);
    bool running = false;
    for (std::size_t g = 0; g < kGames; ++g) {
      if (many[g].size() == one[g].size()) continue;  // over: its next runs stay GAME_END
      many[g].push_back({infos[g], {rows.begin() + g * kRow, rows.begin() + (g + 1) * kRow}});
      running = running || infos[g].stop != ROVER_GAME_END;
    }
    if (!running) break;
  }

  int runEnds = 0;
  int cutRows = 0;
  for (std::size_t g = 0; g < kGames; ++g) {
    ASSERT_EQ(many[g].size(), one[g].size()) << "game " << g;
    for (std::size_t n = 0; n < one[g].size(); ++n) {
      SCOPED_TRACE("game " + std::to_string(g) + ", call " + std::to_string(n));
      EXPECT_TRUE(sameStop(many[g][n].info, one[g][n].info));
      EXPECT_EQ(std::memcmp(many[g][n].row.data(), one[g][n].row.data(), kRow * sizeof(double)), 0);
      runEnds += one[g][n].info.stop == ROVER_RUN_END;
      cutRows += one[g][n].row[7] > kMaxObjects;
    }
  }
  EXPECT_EQ(runEnds, static_cast<int>(kGames) * 2);  // every run of every game
  EXPECT_GT(cutRows, 0);
}

}  // namespace
}  // namespace rover::e2e
