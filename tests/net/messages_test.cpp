#include "net/messages.h"
#include "sim/static_objects.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/failure.h"
#include "net/memory_transport.h"

namespace rover {
namespace {

// The parameters of the smallest valid map.
constexpr VehicleParams kMinimalParams{.maxSpeed = 10,
                                       .accel = 2,
                                       .brake = 4,
                                       .turn = 20,
                                       .hardTurn = 60,
                                       .rotAccel = 120,
                                       .frontView = 30,
                                       .rearView = 5};

class Messages : public ::testing::Test {
 protected:
  MemoryTransport transport;
  OutputBuffer out{transport};
};

TEST_F(Messages, InitForTheMinimalMap) {
  MapSpec map;
  map.halfSize = 100 * 0.5;
  map.timeLimitMillis = 60000;
  map.vehicleParams = kMinimalParams;
  map.martianParams = kMinimalParams;
  map.martianParams.rearView = 99;  // must not leak into the message
  sendInit(out, map);
  EXPECT_EQ(transport.sentBlocks(),
            std::vector<std::string>{"I 100.000 100.000 60000 5.000 30.000 10.000 20.0 60.0 ;"});
}

TEST_F(Messages, InitWritesFieldsInWireOrder) {
  MapSpec map;
  map.halfSize = 200 * 0.5;
  map.timeLimitMillis = mpz_class("-12345678901234567890");
  map.vehicleParams.rearView = 1.25;
  map.vehicleParams.frontView = 2.5;
  map.vehicleParams.maxSpeed = 7.0005;
  map.vehicleParams.turn = 33.35;
  map.vehicleParams.hardTurn = -0.04;
  sendInit(out, map);
  EXPECT_EQ(transport.sent(), "I 200.000 200.000 -12345678901234567890 1.250 2.500 7.000 33.4 -0.0 ;");
}

World worldWithEveryKind() {
  World world;
  world.rover.position = {12.345, -6.0};
  world.rover.heading = 90.0;
  world.rover.speed = 3.25;
  world.roverControl = ControlState{0, 1};

  Martian first;
  first.index = 0;
  first.motion.position = {-30.0, 0.25};
  first.motion.heading = -179.96;
  first.motion.speed = 1.5;
  Martian third;
  third.index = 2;
  third.motion.position = {1.0, 2.0};
  third.motion.heading = 45.0;
  third.motion.speed = 0.0;
  world.martians = {first, third};

  const std::vector<WorldObject> statics = {
      homeObject(),
      {ObjectKind::Crater, {{10.0, -20.0}, 3.0}, 1},
      {ObjectKind::Boulder, {{-0.0004, 7.5}, 1.0005}, 2},
  };
  world.roverObjects = RoverObjects(world.martians, std::make_shared<const StaticObjects>(statics));
  return world;
}

// A "T" through the real writer, with the text of the world's static objects.
void sendTelemetryOf(OutputBuffer& out, const TimeValue& runTime, const World& world,
                     const std::vector<std::size_t>& visible) {
  const StaticObjects none{{}};
  const StaticObjects* statics = world.roverObjects.statics();
  sendTelemetry(out, runTime, world, visible, StaticObjectText(statics != nullptr ? *statics : none));
}

struct TelemetryCase {
  const char* name;
  std::vector<std::size_t> visible;
  const char* text;
};

class Telemetry : public ::testing::TestWithParam<TelemetryCase> {};

TEST_P(Telemetry, WritesRoverThenVisibleObjects) {
  const TelemetryCase& c = GetParam();
  MemoryTransport transport;
  OutputBuffer out(transport);
  sendTelemetryOf(out, TimeValue::fromMillis(1500), worldWithEveryKind(), c.visible);
  EXPECT_EQ(transport.sentBlocks(), std::vector<std::string>{c.text});
}

INSTANTIATE_TEST_SUITE_P(
    Objects, Telemetry,
    ::testing::Values(
        TelemetryCase{"none", {}, "T 1500 a- 12.345 -6.000 90.0 3.250 ;"},
        TelemetryCase{"home", {2}, "T 1500 a- 12.345 -6.000 90.0 3.250 h 0.000 0.000 5.000 ;"},
        TelemetryCase{"crater", {3}, "T 1500 a- 12.345 -6.000 90.0 3.250 c 10.000 -20.000 3.000 ;"},
        TelemetryCase{"boulder", {4}, "T 1500 a- 12.345 -6.000 90.0 3.250 b -0.000 7.500 1.000 ;"},
        TelemetryCase{"martian", {0}, "T 1500 a- 12.345 -6.000 90.0 3.250 m -30.000 0.250 -180.0 1.500 ;"},
        TelemetryCase{"second martian by its index",
                      {1},
                      "T 1500 a- 12.345 -6.000 90.0 3.250 m 1.000 2.000 45.0 0.000 ;"},
        TelemetryCase{"all in list order",
                      {0, 1, 2, 3, 4},
                      "T 1500 a- 12.345 -6.000 90.0 3.250 m -30.000 0.250 -180.0 1.500 m 1.000 2.000 45.0 "
                      "0.000 h 0.000 0.000 5.000 c 10.000 -20.000 3.000 b -0.000 7.500 1.000 ;"}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

struct ControlCase {
  ControlState control;
  const char* field;
};

TEST_F(Messages, TelemetryControlField) {
  const ControlCase cases[] = {{{0, 0}, "--"}, {{-2, -1}, "bR"}, {{-1, 0}, "-r"},
                               {{1, 1}, "al"}, {{2, 1}, "aL"},   {{0, -1}, "b-"}};
  for (const ControlCase& c : cases) {
    World world;
    world.roverControl = c.control;
    transport.clearSent();
    sendTelemetryOf(out, TimeValue::fromMillis(0), world, {});
    EXPECT_EQ(transport.sent(), std::string("T 0 ") + c.field + " 0.000 0.000 0.0 0.000 ;");
  }
}

TEST_F(Messages, LongTelemetryLeavesInFullBlocksThenTheRest) {
  World world;
  world.rover.position = {1.0, 2.0};
  std::vector<std::size_t> visible;
  // Each boulder entry "b 100.000 100.000 1.000 " is 24 bytes.
  std::vector<WorldObject> boulders;
  for (std::size_t i = 0; i < 100; ++i) {
    boulders.push_back(WorldObject{ObjectKind::Boulder, {{100.0, 100.0}, 1.0}, static_cast<int>(i)});
    visible.push_back(i);
  }
  world.roverObjects = RoverObjects({}, std::make_shared<const StaticObjects>(boulders));
  sendTelemetryOf(out, TimeValue::fromMillis(100), world, visible);
  const std::string head = "T 100 -- 1.000 2.000 0.0 0.000 ";
  const std::size_t total = head.size() + 100 * 24 + 1;
  ASSERT_EQ(transport.sentBlocks().size(), 3u);
  EXPECT_EQ(transport.sentBlocks()[0].size(), 1200u);
  EXPECT_EQ(transport.sentBlocks()[1].size(), 1200u);
  EXPECT_EQ(transport.sentBlocks()[2].size(), total - 2400);
  EXPECT_EQ(transport.sent().substr(0, head.size()), head);
  EXPECT_EQ(transport.sent().back(), ';');
}

TEST_F(Messages, TelemetryRejectsAnIndexOutsideTheList) {
  World world;
  EXPECT_THROW(sendTelemetryOf(out, TimeValue::fromMillis(0), world, {0}), Failure);
}

TEST_F(Messages, EventsAndEndEachLeaveAsOneBlock) {
  sendEvent(out, 'B', TimeValue::fromNanos(20'999'999));
  sendEvent(out, 'S', TimeValue::fromMillis(4560));
  sendEnd(out, TimeValue::fromMillis(4560), TimeValue::fromMillis(4560));
  sendEvent(out, 'C', TimeValue::fromMillis(0));
  sendEvent(out, 'K', TimeValue::fromMillis(10));
  sendEnd(out, TimeValue::fromNanos(-1'500'000), TimeValue::fromMillis(-250));
  EXPECT_EQ(transport.sentBlocks(), (std::vector<std::string>{"B 20 ;", "S 4560 ;", "E 4560 4560 ;", "C 0 ;",
                                                              "K 10 ;", "E -1 -250 ;"}));
}

}  // namespace
}  // namespace rover
