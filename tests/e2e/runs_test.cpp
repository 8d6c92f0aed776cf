// Whole runs of the real server over a real socket: the exact bytes of the
// stream, the schedule's stamps, scores, result lines and exit statuses.

#include <gtest/gtest.h>

#include <cmath>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

std::string stamp(long value) {
  return std::to_string(value);
}

// A quiet map: nothing is visible from the rover's start at (-20, 10).
MapDesc quietMap(const std::string& timeLimit) {
  MapDesc map;
  map.timeLimit = timeLimit;
  map.craters = {{30, 30, 3}};
  map.boulders = {{-30, -30, 2.5}};
  map.runs = {{-20, 10, 180, {}}};
  return map;
}

const char* const kQuietInit = "I 100.000 100.000 ";
const char* const kQuietParams = " 5.000 30.000 20.000 20.0 60.0 ;";

TEST(Runs, ThreeRunsGiveTheExactStreamAndSixLines) {
  MapDesc map = quietMap("350");
  map.runs = {{30, 30, 45, {}}, {1, -2, -90, {}}, {-20, 10, 180, {}}};
  Session session(map.json());
  ASSERT_TRUE(session.client().connected());
  Ending ending = session.finish();

  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.err, "");
  EXPECT_EQ(ending.out, session.waitingLine() +
                            "starting round\nRound 1: crashed into crater; score = 1690\n"
                            "starting round\nRound 2: reached home; score = 10\n"
                            "starting round\nRound 3: time limit exceeded; score = 450\n");
  const std::string quiet = " -- -20.000 10.000 180.0 0.000 ;";
  EXPECT_EQ(session.client().received(), std::string(kQuietInit) + "350" + kQuietParams +
                                             "T 0 -- 30.000 30.000 45.0 0.000 c 30.000 30.000 3.000 ;"
                                             "C 10 ;E 10 1690 ;"
                                             "T 0 -- 1.000 -2.000 -90.0 0.000 h 0.000 0.000 5.000 ;"
                                             "S 10 ;E 10 10 ;"
                                             "T 0" +
                                             quiet + "T 100" + quiet + "T 200" + quiet + "T 300" + quiet +
                                             "E 350 450 ;");
}

TEST(Runs, StaleCommandsAreDiscardedAndTheTimeLimitEndsTheRun) {
  Session session(quietMap("455").json());
  ASSERT_TRUE(session.client().connected());
  // Sent before the run starts: the run start throws these away.
  session.client().send("a;l;al;");
  Ending ending = session.finish();

  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.out,
            session.waitingLine() + "starting round\nRound 1: time limit exceeded; score = 555\n");
  const std::string quiet = " -- -20.000 10.000 180.0 0.000 ;";
  EXPECT_EQ(session.client().received(), std::string(kQuietInit) + "455" + kQuietParams + "T 0" + quiet +
                                             "T 100" + quiet + "T 200" + quiet + "T 300" + quiet + "T 400" +
                                             quiet + "E 455 555 ;");
}

TEST(Runs, ZeroTimeLimitEndsBeforeTheFirstTelemetry) {
  Session session(quietMap("0").json());
  ASSERT_TRUE(session.client().connected());
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.out,
            session.waitingLine() + "starting round\nRound 1: time limit exceeded; score = 100\n");
  EXPECT_EQ(session.client().received(), std::string(kQuietInit) + "0" + kQuietParams + "E 0 100 ;");
}

TEST(Runs, NegativeTimeLimitEndsTheRunAtOnce) {
  Session session(quietMap("-7").json());
  ASSERT_TRUE(session.client().connected());
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\nRound 1: time limit exceeded; score = 93\n");
  std::vector<Message> messages = parseMessages(session.client().received());
  ASSERT_EQ(messages.size(), 2u) << session.client().received();
  EXPECT_EQ(messages[0].text, std::string(kQuietInit) + "-7" + kQuietParams);
  EXPECT_EQ(messages[1].letter, "E");
  ASSERT_EQ(messages[1].fields.size(), 2u);
  EXPECT_EQ(messages[1].fields[1], "93");
}

TEST(Runs, HugeTimeLimitIsExactAndDoesNotEndTheRun) {
  const std::string huge = "1000000000000000000000000000000";
  Session session(quietMap(huge).json());
  ASSERT_TRUE(session.client().connected());
  ASSERT_TRUE(session.client().readUntil("T 300 "));
  session.client().shutdownSend();
  Ending ending = session.finish();

  std::vector<Message> messages = parseMessages(session.client().received());
  ASSERT_GE(messages.size(), 5u);
  EXPECT_EQ(messages[0].text, std::string(kQuietInit) + huge + kQuietParams);
  for (std::size_t i = 1; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].text,
              "T " + stamp(100 * static_cast<long>(i - 1)) + " -- -20.000 10.000 180.0 0.000 ;");
  }
  // Shutting the sending side is the client's end of file: a protocol failure.
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\n");
}

// Telemetry longer than the server's 1200-byte output buffer leaves in several
// sends; the client must still see each message whole and in order.
TEST(Wire, LongTelemetryArrivesWhole) {
  MapDesc map = quietMap("150");
  map.vehicle.frontView = 300;
  map.vehicle.rearView = 300;
  map.craters.clear();
  map.boulders.clear();
  std::string objects = "h 0.000 0.000 5.000 ";
  for (int i = -5; i <= 5; ++i) {
    for (int j = -5; j <= 5; ++j) {
      map.craters.push_back({8.0 * i, 8.0 * j + 0.5, 1.25});
      objects += "c " + fixed(8.0 * i, 3) + " " + fixed(8.0 * j + 0.5, 3) + " 1.250 ";
    }
  }
  map.runs = {{-45, -45, 0, {}}};
  Session session(map.json());
  ASSERT_TRUE(session.client().connected());
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  const std::string telemetry = " -- -45.000 -45.000 0.0 0.000 " + objects + ";";
  ASSERT_GT(telemetry.size(), 2400u);
  EXPECT_EQ(session.client().received(), "I 100.000 100.000 150 300.000 300.000 20.000 20.0 60.0 ;T 0" +
                                             telemetry + "T 100" + telemetry + "E 150 250 ;");
}

struct InitCase {
  const char* name;
  MapDesc map;
  std::string expected;
};

// Shows the case by its name in test listings.
void PrintTo(const InitCase& c, std::ostream* out) {
  *out << c.name;
}

std::vector<InitCase> initCases() {
  MapDesc rounding;
  rounding.size = "200.5";
  rounding.timeLimit = "1000000000000000000000000000000";
  rounding.vehicle = {-0.0004, 10, 10, 0.25, 0.35, 120, 2.0005, 0.0005};
  rounding.runs = {{-20, 10, 180, {}}};
  MapDesc signs;
  signs.size = "2e2";
  signs.timeLimit = "-7";
  signs.vehicle = {12.3456, 10, 10, -22.25, 179.96, 120, 1000, -0.0};
  signs.runs = {{-20, 10, 180, {}}};
  MapDesc plain;
  plain.runs = {{-20, 10, 180, {}}};
  return {
      {"RoundsToNearestEven", rounding,
       "I 200.500 200.500 1000000000000000000000000000000 0.001 2.001 -0.000 0.2 0.3 ;"},
      {"SignsAndRealSize", signs, "I 200.000 200.000 -7 0.000 1000.000 12.346 -22.2 180.0 ;"},
      {"Plain", plain, "I 100.000 100.000 20000 5.000 30.000 20.000 20.0 60.0 ;"},
  };
}

class InitMessage : public ::testing::TestWithParam<InitCase> {};

// The initialization message is sent as soon as the client connects; a client
// that then closes its sending side ends the server at the run start.
TEST_P(InitMessage, IsExactAndEndOfFileBeforeTheRunFails) {
  Session session(GetParam().map.json());
  ASSERT_TRUE(session.client().connected());
  ASSERT_TRUE(session.client().readUntil(";"));
  session.client().shutdownSend();
  Ending ending = session.finish();
  EXPECT_EQ(session.client().received(), GetParam().expected);
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  // A client stalled for more than the pause may shut down after the run start.
  EXPECT_TRUE(ending.out == session.waitingLine() || ending.out == session.waitingLine() + "starting round\n")
      << ending.out;
}

INSTANTIATE_TEST_SUITE_P(Wire, InitMessage, ::testing::ValuesIn(initCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Sends commands during a run and waits for the telemetry that shows each
// resulting control field.
TEST(Commands, EachCommandMovesTheControlsOneNotch) {
  MapDesc map;
  map.size = "1000";
  map.runs = {{200, 0, 90, {}}};
  Session session(map.json());
  ASSERT_TRUE(session.client().connected());
  ASSERT_TRUE(session.client().readUntil("T 0 "));
  EXPECT_EQ(telemetryOf(parseMessages(session.client().received()).at(1)).control, "--");

  struct Step {
    const char* send;
    const char* control;
  };
  const Step steps[] = {
      {"a;", "a-"},     {"l;", "al"},  {"r;r;r;", "aR"}, {"b;b;", "bR"},  {"l;l;", "b-"},
      {"a;a;a;", "a-"}, {"br;", "-r"}, {"bl;al;", "-l"}, {"ar;r;", "ar"}, {"l;l;l;l;", "aL"},
  };
  std::size_t seen = parseMessages(session.client().received()).size();
  for (const Step& step : steps) {
    session.client().send(step.send);
    auto at = awaitMessage(session.client(), seen, [&](const Message& m) {
      return m.letter == "T" && telemetryOf(m).control == step.control;
    });
    ASSERT_TRUE(at.has_value()) << "after " << step.send << " expected " << step.control;
    seen = *at + 1;
  }
  // One command split across two sends is still one command.
  session.client().send("b");
  auto next = awaitMessage(session.client(), seen, [](const Message& m) { return m.letter == "T"; });
  ASSERT_TRUE(next.has_value());
  seen = *next + 1;
  session.client().send("r;");
  auto split = awaitMessage(session.client(), seen, [](const Message& m) {
    return m.letter == "T" && telemetryOf(m).control == "-l";
  });
  EXPECT_TRUE(split.has_value());

  session.client().shutdownSend();
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  for (const Message& m : parseMessages(session.client().received())) {
    EXPECT_TRUE(m.letter == "I" || m.letter == "T") << m.text;
  }
}

// Times at which the first accelerated physics step can have happened, read
// from the first telemetry that shows the rover moving (a step due at the same
// time as a telemetry message may be performed before or after it).
std::vector<long> firstStepCandidates(const std::vector<Message>& run, const ParamsDesc& params) {
  for (const Message& m : run) {
    if (m.letter != "T") continue;
    Telemetry t = telemetryOf(m);
    if (t.speed == "0.000") continue;
    std::optional<int> n = stepsForSpeed(params, t.speed);
    if (!n || *n == 0) return {};
    return {t.stamp - 10L * (*n - 1), t.stamp - 10L * *n};
  }
  return {};
}

template <typename Pred>
int stepsUntil(StraightDrive& drive, Pred pred) {
  for (int k = 1; k <= 10000; ++k) {
    drive.step();
    if (pred(drive)) return k;
  }
  return -1;
}

// The periodic telemetry of a run: stamps 0, 100, 200 ... with no gap.
void expectTelemetryCadence(const std::vector<Message>& run) {
  long expected = 0;
  for (std::size_t i = 0; i < run.size(); ++i) {
    if (run[i].letter != "T") continue;
    if (i > 0 && run[i - 1].letter == "B") continue;
    EXPECT_EQ(telemetryOf(run[i]).stamp, expected) << run[i].text;
    expected += 100;
  }
}

struct Ended {
  std::vector<Message> messages;
  long eventStamp = -1;
};

// Drives a one-run map: waits for the first telemetry, sends "a;" and reads
// until the server ends; checks the end messages and the result line.
Ended driveToTheEnd(const MapDesc& map, const std::string& eventLetter, const std::string& outcome,
                    long scoreBase) {
  Ended result;
  Session session(map.json());
  EXPECT_TRUE(session.client().connected());
  if (!session.client().connected()) return result;
  EXPECT_TRUE(session.client().readUntil("T 0 "));
  session.client().send("a;");
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  result.messages = parseMessages(session.client().received());
  const std::vector<Message>& m = result.messages;
  EXPECT_GE(m.size(), 4u);
  if (m.size() < 4) return result;
  EXPECT_EQ(m[m.size() - 2].letter, eventLetter) << m[m.size() - 2].text;
  result.eventStamp = std::stol(m[m.size() - 2].fields.at(0));
  const long t = result.eventStamp;
  const long score = scoreBase < 0 ? t : scoreBase - t;
  EXPECT_EQ(t % 10, 0);
  EXPECT_EQ(m.back().text, "E " + stamp(t) + " " + stamp(score) + " ;");
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\nRound 1: " + outcome +
                            "; score = " + stamp(score) + "\n");
  std::vector<Message> run(m.begin() + 1, m.end());
  expectTelemetryCadence(run);
  return result;
}

TEST(Drive, ReachingHomeScoresTheRunTime) {
  MapDesc map;
  map.runs = {{15, 0, 180, {}}};
  Ended ended = driveToTheEnd(map, "S", "reached home", -1);
  StraightDrive drive(map.vehicle, 15, 0, 180);
  const int k =
      stepsUntil(drive, [](const StraightDrive& d) { return d.x() * d.x() + d.y() * d.y() < 25.0; });
  std::vector<long> first = firstStepCandidates(ended.messages, map.vehicle);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_TRUE(ended.eventStamp == first[0] + 10L * (k - 1) || ended.eventStamp == first[1] + 10L * (k - 1))
      << ended.eventStamp << " after " << k << " steps from " << first[0] << " or " << first[1];
}

TEST(Drive, CraterEndsTheRunWithItsScore) {
  MapDesc map;
  map.timeLimit = "5000";
  map.craters = {{30, 0, 3}};
  map.runs = {{20, 0, 0, {}}};
  Ended ended = driveToTheEnd(map, "C", "crashed into crater", 11000);
  StraightDrive drive(map.vehicle, 20, 0, 0);
  const int k = stepsUntil(drive, [](const StraightDrive& d) {
    return (d.x() - 30) * (d.x() - 30) + (d.y() - 0) * (d.y() - 0) < 3.0 * 3.0;
  });
  std::vector<long> first = firstStepCandidates(ended.messages, map.vehicle);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_TRUE(ended.eventStamp == first[0] + 10L * (k - 1) || ended.eventStamp == first[1] + 10L * (k - 1))
      << ended.eventStamp << " after " << k << " steps from " << first[0] << " or " << first[1];
}

// The view is a long thin ellipse ahead of the rover; the crater lies across the
// rover's line but off its axis, so it drops out of view before the rover reaches it.
TEST(Drive, PassesThroughACraterItNoLongerSees) {
  MapDesc map;
  map.vehicle.frontView = 20;
  map.vehicle.rearView = 0.05;
  map.craters = {{-15, -1.9, 2}};
  map.runs = {{-30, 0, 0, {}}};
  Ended ended = driveToTheEnd(map, "S", "reached home", -1);
  bool seen = false;
  for (const Message& m : ended.messages) {
    if (m.letter != "T") continue;
    for (const std::string& entry : telemetryOf(m).objects) seen = seen || entry == "c -15.000 -1.900 2.000";
  }
  EXPECT_TRUE(seen) << "the crater was in view on the way";
}

// What the rover bounces off: the east wall x = 49.5, or a boulder on its line.
struct BounceCase {
  const char* name;
  double startX;
  bool wall;
  double boulderX, boulderR;
  double craterX;
  // The objects in view right after the bounce.
  const char* objects;
};

// Shows the case by its name in test listings.
void PrintTo(const BounceCase& c, std::ostream* out) {
  *out << c.name;
}

class Bounce : public ::testing::TestWithParam<BounceCase> {};

// The rover drives east, bounces, and falls back into a crater behind its start.
TEST_P(Bounce, SendsBAndAnExtraTelemetryWithTheSameStamp) {
  const BounceCase& c = GetParam();
  MapDesc map;
  map.timeLimit = "20000";
  map.craters = {{c.craterX, 0, 2}};
  if (!c.wall) map.boulders = {{c.boulderX, 0, c.boulderR}};
  map.runs = {{c.startX, 0, 0, {}}};
  Ended ended = driveToTheEnd(map, "C", "crashed into crater", 41000);
  const std::vector<Message>& m = ended.messages;

  std::size_t bounce = 0;
  while (bounce < m.size() && m[bounce].letter != "B") ++bounce;
  ASSERT_LT(bounce + 1, m.size()) << "no bounce";
  ASSERT_EQ(m[bounce].fields.size(), 1u);
  const long bounceStamp = std::stol(m[bounce].fields[0]);

  StraightDrive drive(map.vehicle, c.startX, 0, 0);
  const int k = stepsUntil(drive, [&](const StraightDrive& d) {
    if (c.wall) return d.x() > 49.5;
    const double dx = d.x() - c.boulderX, dy = d.y() - 0;
    return dx * dx + dy * dy < 0.5 * 0.5 + c.boulderR * c.boulderR;
  });
  double nx = -1.0, ny = 0.0, depth = drive.x() - 49.5;
  if (!c.wall) {
    const double vx = drive.x() - c.boulderX, vy = drive.y() - 0;
    const double distance = std::sqrt(vx * vx + vy * vy);
    nx = vx / distance;
    ny = vy / distance;
    depth = (0.5 + c.boulderR) - distance;
  }
  const double ux = drive.speed() * drive.dirX(), uy = drive.speed() * drive.dirY();
  const double along = ux * nx + uy * ny;
  const double vx = ux - (1.5 * along) * nx, vy = uy - (1.5 * along) * ny;
  const double speed = std::sqrt(vx * vx + vy * vy);
  const double x = drive.x() + (depth + 0.1) * nx;
  EXPECT_EQ(m[bounce + 1].text, "T " + stamp(bounceStamp) + " a- " + fixed(x, 3) + " 0.000 180.0 " +
                                    fixed(speed, 3) + " " + c.objects + " ;");

  std::vector<long> first = firstStepCandidates(m, map.vehicle);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_TRUE(bounceStamp == first[0] + 10L * (k - 1) || bounceStamp == first[1] + 10L * (k - 1))
      << bounceStamp << " after " << k << " steps from " << first[0] << " or " << first[1];
  // Back along the same line into the crater.
  drive.place(x, 0.0, vx / speed, vy / speed, speed);
  const int more = stepsUntil(drive, [&](const StraightDrive& d) {
    return (d.x() - c.craterX) * (d.x() - c.craterX) + (d.y() - 0) * (d.y() - 0) < 2.0 * 2.0;
  });
  EXPECT_EQ(ended.eventStamp, bounceStamp + 10L * more);
  for (std::size_t i = bounce + 2; i < m.size(); ++i) EXPECT_NE(m[i].letter, "B") << "one bounce only";
}

INSTANTIATE_TEST_SUITE_P(
    Drive, Bounce,
    ::testing::Values(BounceCase{"Wall", 47, true, 0, 0, 42, "c 42.000 0.000 2.000"},
                      BounceCase{"Boulder", 20, false, 26, 2, 15,
                                 "h 0.000 0.000 5.000 c 15.000 0.000 2.000 b 26.000 0.000 2.000"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rover::e2e
