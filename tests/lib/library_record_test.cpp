// The library plays the server's game: the same seed and replies through
// librover and through a real `--lockstep --reply-timeout 0` server over
// loopback give byte-identical records, and replay verifies the library's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"
#include "lib/rover.h"

namespace rover::e2e {
namespace {

// The reply to the k-th "T" of the game (from 1).
using Script = std::function<std::string(int k)>;

// Steers enough to bounce, turn, brake and reach things: several commands
// in one reply, repeated commands, empty replies.
std::string steering(int k) {
  static const char* const kReplies[] = {"a;;", "a;l;;", ";",   "a;;",  "r;r;;",
                                         "a;;", "b;;",   "l;;", "br;;", "al;;"};
  return kReplies[(k * 7 + k / 13) % 10];
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where two records part: the line number and both lines.
std::string firstDifference(const std::string& got, const std::string& expected) {
  std::istringstream a(got);
  std::istringstream b(expected);
  std::string lineA;
  std::string lineB;
  for (int line = 1;; ++line) {
    const bool moreA = static_cast<bool>(std::getline(a, lineA));
    const bool moreB = static_cast<bool>(std::getline(b, lineB));
    if (!moreA && !moreB) return "the same lines";
    if (moreA != moreB || lineA != lineB)
      return "line " + std::to_string(line) + ":\n library: " + (moreA ? lineA : "(none)") +
             "\n server:  " + (moreB ? lineB : "(none)");
  }
}

struct Stamp {
  int run;
  std::int64_t time;
  bool operator==(const Stamp&) const = default;
};

// Plays the game through the library; the stamps of the "T"s it answered.
std::vector<Stamp> playLibrary(const std::string& mapPath, std::uint64_t seed, const std::string& recordPath,
                               const Script& script) {
  char error[512] = "";
  std::unique_ptr<rover_map, void (*)(rover_map*)> map(rover_map_load(mapPath.c_str(), error, sizeof error),
                                                       rover_map_free);
  EXPECT_TRUE(map) << error;
  std::unique_ptr<rover_game, void (*)(rover_game*)> game(
      rover_game_new(map.get(), seed, recordPath.c_str(), error, sizeof error), rover_game_free);
  EXPECT_TRUE(game) << error;
  std::vector<Stamp> answered;
  rover_step_info info;
  while (rover_next_run(game.get(), &info) == ROVER_TELEMETRY) {
    while (info.stop == ROVER_TELEMETRY) {
      answered.push_back({info.run, info.time_ms});
      const std::string reply = script(static_cast<int>(answered.size()));
      if (rover_step(game.get(), reply.data(), reply.size(), &info) == ROVER_ERROR) return answered;
    }
  }
  EXPECT_EQ(info.stop, ROVER_GAME_END) << rover_game_error(game.get());
  return answered;
}

// Plays the same game against the server. The replies to the "T"s of one
// instant leave in one write once its last "T" is in, so the server reads
// them in one receive, as the library hands them over.
Ending playServer(const std::string& mapText, std::uint64_t seed, const std::string& recordPath,
                  const Script& script, const std::vector<Stamp>& stamps) {
  Session session(
      mapText, true,
      {"--lockstep", "--reply-timeout", "0", "--seed", std::to_string(seed), "--record", recordPath});
  Client& client = session.client();
  std::size_t seen = 0;
  std::string group;
  for (std::size_t k = 1; k <= stamps.size(); ++k) {
    const auto index = awaitMessage(client, seen, [](const Message& m) { return m.letter == "T"; });
    if (!index) {
      ADD_FAILURE() << "the server sent " << k - 1 << " T messages; the library " << stamps.size();
      break;
    }
    seen = *index + 1;
    group += script(static_cast<int>(k));
    if (k == stamps.size() || !(stamps[k] == stamps[k - 1])) {
      client.send(group);
      group.clear();
    }
  }
  return session.finish();
}

struct Case {
  const char* name;
  std::string mapText;
  std::uint64_t seed;
  Script script;
  int status;  // the server's
};

TEST(LibraryRecord, SameSeedAndRepliesGiveTheServersRecord) {
  MapDesc twoBoulders = bumpyMap();
  twoBoulders.timeLimit = "6000";
  twoBoulders.boulders.push_back({-10, 0, 3});
  // Straight on into the boulder: a bounce on a periodic T's instant, then home.
  MapDesc boulderAhead;
  boulderAhead.size = "30";
  boulderAhead.timeLimit = "4000";
  boulderAhead.boulders = {{0, 8, 2}};
  boulderAhead.runs = {{5, 0, 10, {}}};
  const std::vector<Case> cases = {
      {"bumpy map, seed 0", bumpyMap().json(), 0, steering, 0},
      {"longer runs, seed 12345", twoBoulders.json(), 12345, steering, 0},
      {"an illegal command at the 40th T", bumpyMap().json(), 3,
       [](int k) { return k == 40 ? std::string("a;x;;") : steering(k); }, 1},
      {"a bounce on a periodic T's instant", boulderAhead.json(), 0, [](int) { return std::string("a;;"); },
       0},
  };
  int bounces = 0;
  int sharedInstants = 0;  // instants with two "T"s: a periodic one and a bounce's
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempFile map(c.mapText);
    testing::TempFile libraryRecord("", ".jsonl");
    testing::TempFile serverRecord("", ".jsonl");
    const std::vector<Stamp> stamps = playLibrary(map.path(), c.seed, libraryRecord.path(), c.script);
    ASSERT_GE(stamps.size(), 20u);
    for (std::size_t k = 1; k < stamps.size(); ++k) sharedInstants += stamps[k] == stamps[k - 1];
    const Ending ending = playServer(c.mapText, c.seed, serverRecord.path(), c.script, stamps);
    EXPECT_EQ(ending.status, c.status) << ending.err;
    const std::string expected = readFile(serverRecord.path());
    const std::string got = readFile(libraryRecord.path());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(got, expected) << firstDifference(got, expected);
    for (std::size_t at = expected.find("\"kind\":\"bounce\""); at != std::string::npos;
         at = expected.find("\"kind\":\"bounce\"", at + 1))
      ++bounces;

    testing::ChildProcess replay(testing::toolPath("replay"), {"verify", libraryRecord.path()});
    EXPECT_EQ(replay.waitForExit(), 0) << replay.stderrText();
  }
  EXPECT_GT(bounces, 2) << "the scripts should bounce";
  EXPECT_GT(sharedInstants, 0) << "a bounce should fall on a periodic T's instant";
}

// A record path never costs the map, never stalls on a FIFO (here one with
// a reader, which opens at once) and never keeps an old file's bytes; a hard
// link to the map is the map.
TEST(LibraryRecord, RefusesThePathsThatWouldLoseDataOrStall) {
  const std::string mapText = bumpyMap().json();
  char folderTemplate[] = "/tmp/library_record_XXXXXX";
  ASSERT_NE(::mkdtemp(folderTemplate), nullptr);
  const std::string folder = folderTemplate;
  const std::string mapPath = folder + "/map.json";
  std::ofstream(mapPath) << mapText;
  ASSERT_EQ(::link(mapPath.c_str(), (folder + "/link.json").c_str()), 0);
  ASSERT_EQ(::mkfifo((folder + "/fifo.jsonl").c_str(), 0600), 0);
  const int reader = ::open((folder + "/fifo.jsonl").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(::mkdir((folder + "/sub").c_str(), 0700), 0);
  std::ofstream(folder + "/old.jsonl") << std::string(5000, '\x01');  // never raw in a record
  char error[512] = "";
  std::unique_ptr<rover_map, void (*)(rover_map*)> map(rover_map_load(mapPath.c_str(), error, sizeof error),
                                                       rover_map_free);
  ASSERT_TRUE(map) << error;
  const std::vector<std::pair<std::string, std::string>> refused = {{"map.json", "it is the map"},
                                                                    {"link.json", "it is the map"},
                                                                    {"fifo.jsonl", "not a regular file"},
                                                                    {"sub", "cannot write"},
                                                                    {"none/x.jsonl", "cannot write"}};
  for (const auto& [name, reason] : refused) {
    error[0] = '\0';
    rover_game* game = rover_game_new(map.get(), 0, (folder + "/" + name).c_str(), error, sizeof error);
    EXPECT_EQ(game, nullptr) << name;
    rover_game_free(game);
    EXPECT_NE(std::string(error).find(reason), std::string::npos) << name << ": " << error;
  }
  EXPECT_EQ(readFile(mapPath), mapText);
  rover_game* game = rover_game_new(map.get(), 0, (folder + "/old.jsonl").c_str(), error, sizeof error);
  ASSERT_NE(game, nullptr) << error;
  rover_game_free(game);
  EXPECT_EQ(readFile(folder + "/old.jsonl").find('\x01'), std::string::npos);
  ::close(reader);
  for (const char* name : {"map.json", "link.json", "fifo.jsonl", "old.jsonl"})
    std::remove((folder + "/" + name).c_str());
  ::rmdir((folder + "/sub").c_str());
  ::rmdir(folder.c_str());
}

}  // namespace
}  // namespace rover::e2e
