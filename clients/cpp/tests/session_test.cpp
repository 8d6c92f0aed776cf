#include "rover/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rover::client {
namespace {

const std::string kInit = "I 100.000 100.000 30000 5.000 30.000 10.000 20.0 60.0 ;";
const std::string kFirstT = "T 0 -- 30.000 0.000 180.0 0.000 ;";

// Accelerates straight on and notes what it hears.
class Accelerate : public Bot {
 public:
  std::vector<std::string> calls;
  void onRunStart(int run) override { calls.push_back("run " + std::to_string(run)); }
  Controls onTelemetry(const Telemetry&) override { return Controls{1, 0}; }
  void onEvent(const EventMessage& event) override { calls.push_back(std::string(1, event.kind)); }
  void onEnd(const EndMessage& end) override { calls.push_back("end " + std::to_string(end.scoreMs)); }
};

TEST(Session, AnswersEveryTelemetryWithOneReply) {
  Accelerate bot;
  Session session(bot);
  EXPECT_EQ(session.onBytes(kInit), "");
  EXPECT_EQ(session.onBytes(kFirstT), "a;;");
  EXPECT_FALSE(session.canEndHere());
  // A bounce's extra telemetry arriving with the periodic one: two replies,
  // also when the read ends inside a message.
  EXPECT_EQ(session.onBytes("T 100 a- 29.990 0.000 180.0 0.200 ;B 110 ;T 110 a- 29.9"), ";");
  EXPECT_EQ(session.onBytes("80 0.000 180.0 0.100 ;T 200 a- 29.990 0.000 180.0 0.200 ;E 200 3"), ";;");
  EXPECT_FALSE(session.canEndHere());
  // Telemetry and the end of the run in one read: the telemetry still gets
  // its reply, and nothing follows the end.
  EXPECT_EQ(session.onBytes("0100 ;" + kFirstT + "S 50 ;E 50 50 ;"), "a;;");
  EXPECT_TRUE(session.canEndHere());
  EXPECT_EQ(session.runsFinished(), 2);
  EXPECT_EQ(bot.calls, (std::vector<std::string>{"run 1", "B", "end 30100", "run 2", "S", "end 50"}));
}

TEST(Session, StreamEndingInsideARunOrMessageCannotEndThere) {
  Accelerate bot;
  Session session(bot);
  session.onBytes(kInit + kFirstT + "E 30000 30100 ;T 0 -- 30.0");
  EXPECT_FALSE(session.canEndHere());
}

TEST(Session, OutOfOrderMessagesAreProtocolErrors) {
  for (const std::string& stream : {kFirstT, kInit + "S 100 ;", kInit + "E 100 100 ;"}) {
    SCOPED_TRACE(stream);
    Accelerate bot;
    Session session(bot);
    EXPECT_THROW(session.onBytes(stream), ProtocolError);
  }
}

}  // namespace
}  // namespace rover::client
