// Lockstep mode end to end: the real server over loopback, with a client that
// answers every "T" with exactly one reply.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

// The reply to the k-th "T" of the game (counting from 1).
using Script = std::function<std::string(int k)>;

std::string steadyScript(int k) {
  if (k % 6 == 1) return "a;;";
  if (k % 9 == 4) return "l;r;;";
  if (k % 11 == 7) return "b;;";
  return ";";
}

Played play(const std::string& mapText, const Script& script, const std::vector<std::string>& args,
            int runs = 2, bool closeAtLastEnd = false) {
  return playAnswering(mapText, script, args, runs, closeAtLastEnd);
}

const std::vector<std::string> kLockstep = {"--lockstep", "--reply-timeout", "0"};

// The stream depends only on the map, the seed and the client's bytes: not on
// timing, not even while two other processes keep both cores busy.
TEST(Lockstep, RepeatedGamesGiveIdenticalStreams) {
  const std::string map = bumpyMap().json();
  const Played first = play(map, steadyScript, kLockstep);
  ASSERT_EQ(first.ending.status, 0) << first.ending.err;
  EXPECT_NE(first.stream.find(";B "), std::string::npos) << "the script should bounce";

  std::vector<std::unique_ptr<testing::ChildProcess>> hogs;
  for (int i = 0; i < 2; ++i) {
    hogs.push_back(std::make_unique<testing::ChildProcess>(
        "/bin/sh", std::vector<std::string>{"-c", "while :; do :; done"}));
  }
  const Played busy = play(map, steadyScript, kLockstep);
  for (auto& hog : hogs) hog->kill(SIGKILL);
  EXPECT_EQ(busy.ending.status, 0) << busy.ending.err;
  EXPECT_EQ(busy.stream, first.stream);
  // The same lines after the waiting line, which names another port.
  EXPECT_EQ(busy.ending.out.substr(busy.ending.out.find('\n')),
            first.ending.out.substr(first.ending.out.find('\n')));

  // Another seed moves the Martians otherwise.
  std::vector<std::string> seeded = kLockstep;
  seeded.insert(seeded.end(), {"--seed", "42"});
  const Played other = play(map, steadyScript, seeded);
  EXPECT_EQ(other.ending.status, 0) << other.ending.err;
  EXPECT_NE(other.stream, first.stream);
}

// The result line is on standard output when the client receives the
// run's "E", in both modes. In lockstep the server has not yet got the reply
// to the "T" sent with that "E": the line does not wait for it.
TEST(ResultLine, IsOutWhenTheClientReceivesTheEnd) {
  MapDesc map = bumpyMap();
  map.timeLimit = "100";  // T 0; then T 100 and E 100 in one instant
  for (const bool lockstep : {false, true}) {
    SCOPED_TRACE(lockstep ? "lockstep" : "real time");
    Session session(map.json(), true, lockstep ? kLockstep : std::vector<std::string>{});
    Client& client = session.client();
    if (lockstep) {
      ASSERT_TRUE(client.readUntil("T 0 "));
      client.send(";");
    }
    ASSERT_TRUE(client.readUntil("E 100 200 ;"));
    EXPECT_EQ(session.server().stdoutText(),
              session.waitingLine() + "starting round\nRound 1: time limit exceeded; score = 200\n");
    if (lockstep) client.send(";;;");  // T 100, then T 0 and T 100 of run 2
    const Ending ending = session.finish();
    EXPECT_EQ(ending.status, 0) << ending.err;
  }
}

struct FailureCase {
  const char* name;
  Script script;
  int failsAtReply;  // the reply whose wait fails
};

// Shows the case by its name in test listings.
void PrintTo(const FailureCase& c, std::ostream* out) {
  *out << c.name;
}

class LockstepFailures : public ::testing::TestWithParam<FailureCase> {};

// A failure found while reading ends the game at once, as in real time.
TEST_P(LockstepFailures, EndLikeRealTime) {
  const FailureCase& c = GetParam();
  Session session(bumpyMap().json(), true, kLockstep);
  std::size_t seen = 0;
  int telemetry = 0;
  while (telemetry < c.failsAtReply && session.client().readMore()) {
    const std::vector<Message> messages = parseMessages(session.client().received());
    for (; seen < messages.size() && telemetry < c.failsAtReply; ++seen) {
      if (messages[seen].letter != "T") continue;
      const std::string reply = c.script(++telemetry);
      if (reply == "EOF") {
        session.client().shutdownSend();
      } else {
        session.client().send(reply);
      }
    }
  }
  const Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  // No more telemetry than replies asked for: the server stopped at the wait.
  int sent = 0;
  for (const Message& m : parseMessages(session.client().received())) sent += m.letter == "T";
  EXPECT_EQ(sent, c.failsAtReply);
}

INSTANTIATE_TEST_SUITE_P(
    Lockstep, LockstepFailures,
    ::testing::Values(FailureCase{"EndOfStream", [](int k) { return k < 5 ? std::string(";") : "EOF"; }, 5},
                      FailureCase{"OverLongCommand",
                                  [](int k) { return k < 3 ? std::string("a;;") : "abcde;;"; }, 3},
                      FailureCase{"IllegalWordFailsWhenApplied",
                                  [](int k) { return k == 2 ? std::string("x;;") : ";"; }, 2}),
    [](const auto& info) { return std::string(info.param.name); });

std::string repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// A reply holds at most 999 commands: the 1000th ends the game with
// "excessive input" as soon as it is scanned, before the reply's bare ";"
// (here never sent). The record replays that ending.
TEST(Lockstep, TheThousandthCommandOfOneReplyEndsTheGame) {
  TempFile record("", ".jsonl");
  TempFile results("", ".json");
  Session session(
      bumpyMap().json(), true,
      {"--lockstep", "--reply-timeout", "0", "--record", record.path(), "--results", results.path()});
  ASSERT_TRUE(session.client().readUntil("T 0 "));
  session.client().send(repeated("a;", 999) + ";");
  ASSERT_TRUE(session.client().readUntil("T 100 "));  // 999 were taken
  session.client().send(repeated("l;", 1000));
  const Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  std::ifstream in(results.path());
  const std::string document((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(document.find("\"message\": \"excessive input\""), std::string::npos) << document;
  testing::ChildProcess replay(testing::toolPath("replay"), {"verify", record.path()});
  EXPECT_EQ(replay.waitForExit(), 0) << replay.stderrText();
}

// Nothing is owed after the last "E": a client may close at once, and the
// server ends as after any game.
TEST(Lockstep, ClientMayCloseRightAfterTheLastEnd) {
  const Played played = play(bumpyMap().json(), steadyScript, kLockstep, 2, /*closeAtLastEnd=*/true);
  EXPECT_EQ(played.ending.status, 0) << played.ending.err;
  EXPECT_EQ(played.ending.err, "");
  EXPECT_EQ(splitRuns(parseMessages(played.stream)).size(), 2u);
}

// A client that never ends a reply is never steered, but with a reply timeout
// the game still runs to its end.
TEST(Lockstep, SilentClientFinishesWithATimeout) {
  MapDesc map = bumpyMap();
  map.timeLimit = "1000";
  map.runs.resize(1);
  map.runs[0].enemies.clear();
  Session session(map.json(), true, {"--lockstep", "--reply-timeout", "2"});
  session.client().send("a");  // a command that never gets its ";"
  const Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.out,
            session.waitingLine() + "starting round\nRound 1: time limit exceeded; score = 1100\n");
  for (const Message& m : parseMessages(session.client().received())) {
    if (m.letter == "T") {
      EXPECT_EQ(telemetryOf(m).control, "--") << m.text;
    }
  }
}

}  // namespace
}  // namespace rover::e2e
