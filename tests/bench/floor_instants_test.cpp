// The lockstep floor sends a game's messages in the instants the server sent
// them in, found again from the bytes alone (splitInstants): checked on the
// fixture game of every outcome, played by the server's own game in virtual
// time, whose instants are known. It holds a bounce (a B and its T in one
// instant, between two periodic ones), T messages longer than 1200 bytes,
// and each run's E.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../driver/game_fixture.h"
#include "floor_game.h"

namespace rover {
namespace {

using testing::GameHarness;

TEST(FloorInstants, AreTheInstantsTheServerSentIn) {
  GameHarness h(loadMap(ROVER_FIXTURES "/outcomes_map.json"), {.mode = PlayMode::Lockstep, .seed = 7});
  // The messages of every instant that sent any; "I" stands alone.
  std::vector<std::vector<std::string>> sent;
  std::size_t read = 0;
  int telemetry = 0;
  h.session.playVirtualTime([&] {
    const std::string stream = h.transport.sent();
    std::vector<std::string> instant;
    for (std::size_t end; (end = stream.find(';', read)) != std::string::npos; read = end + 1) {
      const std::string text = stream.substr(read, end + 1 - read);
      if (text[0] == 'I') {
        sent.push_back({text});
        continue;
      }
      instant.push_back(text);
      // The first run drives east into the wall and on.
      if (text[0] == 'T') h.transport.pushInput(++telemetry == 1 ? "a;;" : ";");
    }
    if (!instant.empty()) sent.push_back(instant);
  });

  const std::vector<bench::FloorInstant> found = bench::splitInstants(h.transport.sent());
  ASSERT_EQ(found.size(), sent.size());
  int bounces = 0, ends = 0, longest = 0;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    ASSERT_EQ(found[i].messages, sent[i]) << "instant " << i;
    int t = 0;
    for (const std::string& m : sent[i]) {
      t += m[0] == 'T';
      ends += m[0] == 'E';
      longest = std::max(longest, static_cast<int>(m.size()));
    }
    ASSERT_EQ(found[i].telemetry, t) << "instant " << i;
    bounces += sent[i].size() == 2 && sent[i][0][0] == 'B' && sent[i][1][0] == 'T';
  }
  // The game holds what makes instants hard to find.
  EXPECT_GE(bounces, 1);
  EXPECT_EQ(ends, 5);
  EXPECT_GT(longest, 1200);
}

}  // namespace
}  // namespace rover
