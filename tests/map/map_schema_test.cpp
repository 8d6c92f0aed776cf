#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "map_test_support.h"

namespace rover::testing {
namespace {

struct SchemaCase {
  const char* from;  // text of the minimal map to replace
  const char* to;
  const char* outcome;
};

// Shown by the test runner when a case fails.
std::ostream& operator<<(std::ostream& out, const SchemaCase& c) {
  return out << ::testing::PrintToString(std::string(c.to));
}

class SchemaChecks : public ::testing::TestWithParam<SchemaCase> {};

TEST_P(SchemaChecks, Outcome) {
  std::string text = mapWith(GetParam().from, GetParam().to);
  EXPECT_EQ(outcomeOf([&] { loadText(text); }), GetParam().outcome) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SchemaChecks,
    ::testing::Values(
        SchemaCase{"\"timeLimit\": 60000", "\"timeLimit\": 60000", "ok"},
        SchemaCase{"\"timeLimit\": 60000", "\"timeLimit\": 60000.0", "Fail"},
        SchemaCase{"\"timeLimit\": 60000", "\"timeLimit\": 6e4", "Fail"},
        SchemaCase{"\"timeLimit\": 60000", "\"timeLimit\": \"60000\"", "Fail"},
        SchemaCase{"\"timeLimit\": 60000", "\"timeLimit\": -5", "ok"},
        SchemaCase{"\"size\": 100", "\"size\": 100.0", "ok"},
        SchemaCase{"\"size\": 100", "\"size\": null", "Fail"},
        SchemaCase{"\"size\": 100", "\"size\": [100]", "Fail"},
        SchemaCase{"\"size\": 100", "\"Size\": 100", "Fail: no definition for field \"size\""},
        SchemaCase{"\"boulders\": []", "\"boulders\": {}", "Fail"},
        SchemaCase{"\"boulders\": []", "\"boulders\": [3]", "Fail"},
        SchemaCase{"\"boulders\": []", "\"boulders\": [{\"x\": 1, \"y\": 2}]",
                   "Fail: no definition for field \"r\""},
        SchemaCase{"\"boulders\": []", "\"boulders\": [{\"x\": 1, \"y\": 2, \"r\": true}]", "Fail"},
        SchemaCase{"\"runs\": [", "\"runs\": [], \"x\": [", "Empty"},
        SchemaCase{"\"enemies\": [{", "\"enemies\": [], \"e\": [{", "ok"},
        SchemaCase{"\"craters\": [{\"x\": 10, \"y\": -20, \"r\": 3}]", "\"craters\": []", "ok"},
        SchemaCase{"\"vehicle\": {", "\"vehicle\": 5, \"v\": {", "Fail"},
        SchemaCase{"\"vehicle\": {", "\"vehicle\": {\"x\": []}, \"v\": {", "Fail"},
        SchemaCase{"\"view\": 20", "\"View\": 20", "Fail: no definition for field \"view\""},
        SchemaCase{"\"rearView\": 5", "\"rearview\": 5", "Fail: no definition for field \"rearView\""},
        SchemaCase{"\"runs\": [{", "\"runs\": [7, {", "Fail"},
        SchemaCase{"{\n  \"size\"", "{\n  \"extra\": {\"a\": [true, null, \"s\", {}]}, \"size\"", "ok"}));

// The checks run in a fixed order; with two faults the earlier check decides.
INSTANTIATE_TEST_SUITE_P(
    Order, SchemaChecks,
    ::testing::Values(
        // size before timeLimit
        SchemaCase{"\"size\": 100,\n  \"timeLimit\": 60000", "\"timeLimit\": 1.5",
                   "Fail: no definition for field \"size\""},
        // timeLimit before the parameters
        SchemaCase{"\"timeLimit\": 60000,\n  \"vehicleParams\"", "\"timeLimit\": 1, \"vp\"",
                   "Fail: no definition for field \"vehicleParams\""},
        SchemaCase{"\"timeLimit\": 60000,\n  \"vehicleParams\"", "\"timeLimit\": 1.0, \"vp\"", "Fail"},
        // inside a parameter object the keys are looked up in their fixed order
        SchemaCase{"\"maxSpeed\": 10, \"accel\": 2", "\"accel\": 2",
                   "Fail: no definition for field \"maxSpeed\""},
        SchemaCase{"\"turn\": 20, \"hardTurn\": 60,", "\"turn\": {}, \"h\": 60,",
                   "Fail"},  // wrong kind of turn comes before the missing hardTurn
        SchemaCase{"\"turn\": 20, \"hardTurn\": 60,", "\"hardTurn\": {},",
                   "Fail: no definition for field \"turn\""},
        // craters before boulders; runs last; "Empty" after every entry check
        SchemaCase{"\"craters\": [{\"x\": 10, \"y\": -20, \"r\": 3}],\n  \"boulders\": []",
                   "\"craters\": [{\"x\": 10}],\n  \"boulders\": 5", "Fail: no definition for field \"y\""},
        SchemaCase{"\"boulders\": []", "\"boulders\": [{\"y\": 1}], \"runs\": []",
                   "Fail: no definition for field \"x\""},
        SchemaCase{"\"dir\": -135}", "\"dir\": -135}, \"enemies\": [{\"x\": 1}]}, {\"vehicle\": {}",
                   "Fail: no definition for field \"y\""},
        // vehicle before enemies
        SchemaCase{"\"vehicle\": {\"x\": 40, \"y\": 40, \"dir\": -135}",
                   "\"vehicle\": {\"x\": 40, \"y\": 40}", "Fail: no definition for field \"dir\""},
        // enemy keys in order x, y, dir, speed, view
        SchemaCase{"\"speed\": 1.5, \"view\": 20", "\"view\": \"far\"",
                   "Fail: no definition for field \"speed\""},
        SchemaCase{"\"speed\": 1.5, \"view\": 20", "\"speed\": 1.5, \"view\": \"far\"", "Fail"}));

TEST(SchemaChecks, MissingViewOfThirdEnemyOfSecondRun) {
  std::string enemy = R"({"x": 1, "y": 2, "dir": 3, "speed": 4, "view": 5})";
  std::string third = R"({"x": 1, "y": 2, "dir": 3, "speed": 4})";
  std::string runs = "\"runs\": [{\"vehicle\": {\"x\": 0, \"y\": 0, \"dir\": 0}, \"enemies\": [" + enemy +
                     "]}, {\"vehicle\": {\"x\": 0, \"y\": 0, \"dir\": 0}, \"enemies\": [" + enemy + ", " +
                     enemy + ", " + third + "]}], \"ignored\": [";
  EXPECT_EQ(outcomeOf([&] { loadText(mapWith("\"runs\": [", runs)); }),
            "Fail: no definition for field \"view\"");
}

TEST(SchemaChecks, MembersInAnyOrderWithExtrasLoadTheSame) {
  std::string shuffled = R"({"runs": [{"enemies": [{"view": 20, "speed": 1.5, "dir": 90, "y": 0, "x": -30}],
      "vehicle": {"dir": -135, "y": 40, "x": 40, "colour": "red"}}],
    "boulders": [], "note": null, "craters": [{"r": 3, "y": -20, "x": 10}],
    "martianParams": {"rearView": 6, "frontView": 31, "rotAccel": 121, "hardTurn": 61, "turn": 21,
                      "brake": 5, "accel": 3, "maxSpeed": 11},
    "vehicleParams": {"rearView": 5, "frontView": 30, "rotAccel": 120, "hardTurn": 60, "turn": 20,
                      "brake": 4, "accel": 2, "maxSpeed": 10},
    "timeLimit": 60000, "size": 100, "size": "second occurrence ignored", "flag": true})";
  MapSpec a = loadText(minimalMap());
  MapSpec b = loadText(shuffled);
  EXPECT_EQ(a.halfSize, b.halfSize);
  EXPECT_EQ(a.timeLimitMillis, b.timeLimitMillis);
  EXPECT_EQ(a.martianParams.rearView, b.martianParams.rearView);
  EXPECT_EQ(a.vehicleParams.maxSpeed, b.vehicleParams.maxSpeed);
  ASSERT_EQ(a.objects.size(), b.objects.size());
  EXPECT_EQ(a.objects[1].circle.center.y, b.objects[1].circle.center.y);
  ASSERT_EQ(b.runs.size(), 1u);
  ASSERT_EQ(b.runs[0].enemies.size(), 1u);
  EXPECT_EQ(a.runs[0].enemies[0].startState.speed, b.runs[0].enemies[0].startState.speed);
  EXPECT_EQ(a.runs[0].startState.heading, b.runs[0].startState.heading);
}

TEST(SchemaChecks, TrailingTextIsNeverRead) {
  std::string text = minimalMap() + " {\"size\": } \x80\xff garbage";
  EXPECT_EQ(outcomeOf([&] { loadText(text); }), "ok");
  EXPECT_EQ(outcomeOf([&] { loadText("/* c */" + text); }), "Incomplete");
}

TEST(SchemaChecks, TopLevelOfAnotherKindFailsWithoutMessage) {
  EXPECT_EQ(outcomeOf([&] { loadText(std::string("[") + minimalMap() + "]"); }), "Fail");
  EXPECT_EQ(outcomeOf([&] { loadText("42"); }), "Fail");
  EXPECT_EQ(outcomeOf([&] { loadText("{}"); }), "Fail: no definition for field \"size\"");
  EXPECT_EQ(outcomeOf([&] { loadText("{5, \"size\": 1}"); }), "Fail: no definition for field \"size\"");
}

TEST(SchemaChecks, TimeLimitKeepsItsExactValue) {
  MapSpec map = loadText(mapWith("\"timeLimit\": 60000", "\"timeLimit\": -123456789012345678901234567890"));
  EXPECT_EQ(map.timeLimitMillis, mpz_class("-123456789012345678901234567890"));
}

struct PositionCase {
  const char* from;
  const char* to;
  unsigned line;
  unsigned column;
  const char* description;  // the detail, or the message when there is no detail
};

class ReportPositions : public ::testing::TestWithParam<PositionCase> {};

// Each failure carries the place of the value it is about and says what was wrong.
TEST_P(ReportPositions, PointAtTheRejectedValue) {
  std::string text = mapWith(GetParam().from, GetParam().to);
  try {
    loadText(text);
    ADD_FAILURE() << "the map loaded";
  } catch (const Failure& failure) {
    ASSERT_TRUE(failure.position());
    EXPECT_EQ(failure.position()->line, GetParam().line);
    EXPECT_EQ(failure.position()->column, GetParam().column);
    EXPECT_EQ(failure.detail() ? failure.detail() : failure.message(), GetParam().description);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ReportPositions,
                         ::testing::Values(PositionCase{"\"timeLimit\": 60000", "\"timeLimit\": 6e4", 3, 16,
                                                        "\"timeLimit\": expected an integer"},
                                           PositionCase{
                                               "\"view\": 20", "\"vi\": 20", 11, 25,
                                               "no definition for field \"view\""},  // the enemy object
                                           PositionCase{"\"runs\": [{", "\"runs\": [], \"r\": [{", 10, 11,
                                                        "\"runs\": must not be empty"},
                                           PositionCase{"\"boulders\": []", "\"boulders\": [1]", 9, 16,
                                                        "an entry of \"boulders\": expected an object"},
                                           PositionCase{"\"size\": 100,", "\"size\": 100,]", 1, 1,
                                                        "no definition for field \"timeLimit\""}));

// A source that reads like a file but fails when it is closed.
class FailingCloseSource : public MemoryByteSource {
 public:
  using MemoryByteSource::MemoryByteSource;
  void close() override { throw Failure(FailureKind::Io).because("Input/output error"); }
};

// Closing happens after the whole value was read: the failure is the file's,
// not a place in it, so it carries no position.
TEST(MapLoading, CloseFailureIsIoWithoutAPlace) {
  const std::string text = minimalMap();
  FailingCloseSource source(text);
  try {
    loadMapFrom(source);
    ADD_FAILURE() << "the map loaded";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::Io);
    EXPECT_FALSE(failure.position());
    EXPECT_EQ(failure.detail(), "Input/output error");
  }
}

}  // namespace
}  // namespace rover::testing
