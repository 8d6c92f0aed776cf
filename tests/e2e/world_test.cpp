// Martians, determinism and hostile map files, seen from outside the server.

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

std::vector<std::string> martiansOf(const Message& m) {
  std::vector<std::string> found;
  for (const std::string& entry : telemetryOf(m).objects) {
    if (entry.rfind("m ", 0) == 0) found.push_back(entry);
  }
  return found;
}

TEST(Martians, CatchARoverThatStandsStill) {
  MapDesc map;
  map.timeLimit = "5000";
  map.martian = {10, 5, 10, 20, 60, 120, 30, 5};
  map.runs = {{30, 30, 0, {{40, 30, 180, 5, 0}}}};
  Session session(map.json());
  ASSERT_TRUE(session.client().connected());
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;

  std::vector<Message> m = parseMessages(session.client().received());
  ASSERT_GE(m.size(), 4u);
  EXPECT_EQ(m[1].text, "T 0 -- 30.000 30.000 0.0 0.000 m 40.000 30.000 180.0 5.000 ;");
  ASSERT_EQ(m[m.size() - 2].letter, "K") << m[m.size() - 2].text;
  const long t = std::stol(m[m.size() - 2].fields.at(0));
  EXPECT_GT(t, 0);
  EXPECT_EQ(t % 10, 0);
  const long score = 600 + 2 * 5000 - t;
  EXPECT_EQ(m.back().text, "E " + std::to_string(t) + " " + std::to_string(score) + " ;");
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\nRound 1: killed by Martian; score = " +
                            std::to_string(score) + "\n");
  for (std::size_t i = 1; i + 2 < m.size(); ++i) {
    ASSERT_EQ(m[i].letter, "T") << m[i].text;
    EXPECT_EQ(telemetryOf(m[i]).x, "30.000") << "the rover never moves";
    EXPECT_EQ(martiansOf(m[i]).size(), 1u) << m[i].text;
  }
}

TEST(Martians, OneLostInACraterLeavesTheTelemetry) {
  MapDesc map;
  map.timeLimit = "1000";
  map.vehicle.frontView = 200;
  map.vehicle.rearView = 200;
  map.craters = {{30, 35, 2}};
  map.runs = {{-30, -30, 0, {{30, 35, 0, 1, 0}, {-30, 40, -90, 0, 0}}}};
  Session session(map.json());
  ASSERT_TRUE(session.client().connected());
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.out,
            session.waitingLine() + "starting round\nRound 1: time limit exceeded; score = 1100\n");

  std::vector<Message> m = parseMessages(session.client().received());
  ASSERT_GE(m.size(), 4u);
  EXPECT_EQ(m[1].text,
            "T 0 -- -30.000 -30.000 0.0 0.000 m 30.000 35.000 0.0 1.000 m -30.000 40.000 -90.0 0.000 "
            "h 0.000 0.000 5.000 c 30.000 35.000 2.000 ;");
  for (std::size_t i = 2; i + 1 < m.size(); ++i) {
    ASSERT_EQ(m[i].letter, "T") << m[i].text;
    std::vector<std::string> left = martiansOf(m[i]);
    ASSERT_EQ(left.size(), 1u) << m[i].text;
    EXPECT_NE(left[0].rfind("m 30.", 0), 0u) << "the Martian that is left is not the lost one: " << left[0];
    EXPECT_NE(m[i].text.find(" c 30.000 35.000 2.000 ;"), std::string::npos) << "the crater stays";
  }
  EXPECT_EQ(m.back().text, "E 1000 1100 ;");
}

// Wandering Martians draw from a fixed-seed generator and the schedule, not
// the clock, decides every step: two servers started at the same time on the
// same map produce the same bytes.
TEST(Martians, TwoServersProduceIdenticalStreams) {
  MapDesc map;
  map.timeLimit = "1500";
  map.vehicle.frontView = 150;
  map.vehicle.rearView = 150;
  map.martian = {8, 4, 8, 30, 90, 200, 30, 5};
  map.craters = {{20, 25, 4}, {-25, 10, 3}};
  map.boulders = {{30, 0, 3}, {0, -30, 5}};
  map.runs = {{-40,
               -40,
               45,
               {{40, 30, 200, 3, 10}, {10, 40, -90, 0, 0}, {-35, 20, 0, 6, 30}, {35, -35, 135, 2, 80}}}};
  const std::string text = map.json();
  Session first(text);
  Session second(text);
  ASSERT_TRUE(first.client().connected());
  ASSERT_TRUE(second.client().connected());
  Ending one = first.finish();
  Ending two = second.finish();
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(first.client().received(), second.client().received());
  EXPECT_EQ(one.out.substr(first.waitingLine().size()), two.out.substr(second.waitingLine().size()));

  std::vector<Message> m = parseMessages(first.client().received());
  ASSERT_GE(m.size(), 4u);
  EXPECT_EQ(martiansOf(m[1]).size(), 4u) << m[1].text;
  std::size_t last = m.size() - 1;
  while (last > 1 && m[last].letter != "T") --last;
  EXPECT_NE(martiansOf(m[1]), martiansOf(m[last])) << "the Martians moved";
}

struct DeepCase {
  const char* name;
  std::string text;
};

// Shows the case by its name in test listings.
void PrintTo(const DeepCase& c, std::ostream* out) {
  *out << c.name;
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  result.reserve(text.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

constexpr int kDepth = 1000000;

std::vector<DeepCase> deepFiles() {
  return {
      {"UnclosedArrays", repeated("[", kDepth)},
      {"ClosedArrays", repeated("[", kDepth) + repeated("]", kDepth)},
      {"NestedObjects", repeated("{\"a\": ", kDepth) + "1" + repeated("}", kDepth)},
      {"UnclosedObjects", repeated("{\"a\": ", kDepth)},
  };
}

class DeepNesting : public ::testing::TestWithParam<DeepCase> {};

TEST_P(DeepNesting, FailsWithAReportNotACrash) {
  TempFile map(GetParam().text);
  Ending ending = runWithoutClient({"-p", std::to_string(testing::freePort()), map.path()});
  EXPECT_EQ(ending.status, 1);
  EXPECT_EQ(ending.err, "uncaught exception: Fail\n");
  EXPECT_EQ(ending.out, "");
}

INSTANTIATE_TEST_SUITE_P(Map, DeepNesting, ::testing::ValuesIn(deepFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Map, DeeplyNestedExtraMemberStillLoads) {
  std::string text = quickMap().json();
  // The top-level object is the first level, so the file is kDepth levels deep.
  text.insert(1, "\"deep\": " + repeated("[", kDepth - 1) + repeated("]", kDepth - 1) + ",");
  Session session(text);
  ASSERT_TRUE(session.client().connected()) << session.server().stderrText();
  Ending ending = session.finish();
  EXPECT_EQ(ending.status, 0) << ending.err;
  EXPECT_EQ(ending.out, session.waitingLine() + "starting round\nRound 1: reached home; score = 10\n");
}

}  // namespace
}  // namespace rover::e2e
