#include "rover/message_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace rover::client {
namespace {

// A recorded stream: initialization, a run with every object kind, a bounce
// with its extra telemetry, the home event and the end of the run.
const std::string kStream =
    "I 100.000 100.000 30000 5.000 30.000 10.000 20.0 60.0 ;"
    "T 0 -- 30.000 0.000 180.0 0.000 m -3.250 4.000 -90.0 1.500 h 0.000 0.000 5.000 ;"
    "T 100 al 29.990 -0.001 179.5 0.200 b 10.000 -2.500 1.250 c -7.000 8.000 3.000 ;"
    "B 130 ;"
    "T 130 bR -0.000 12.345 -180.0 3.250 ;"
    "S 5230 ;"
    "E 5230 5230 ;";

std::vector<Message> parseAll(const std::vector<std::string>& pieces) {
  MessageReader reader;
  std::vector<Message> messages;
  for (const std::string& piece : pieces) {
    reader.feed(piece);
    while (std::optional<Message> message = reader.next()) messages.push_back(*message);
  }
  EXPECT_FALSE(reader.midMessage());
  return messages;
}

void expectRecordedStream(const std::vector<Message>& messages) {
  ASSERT_EQ(messages.size(), 7u);
  const auto& init = std::get<InitMessage>(messages[0]);
  EXPECT_EQ(init.sizeX, 100.0);
  EXPECT_EQ(init.timeLimitMs, 30000);
  EXPECT_EQ(init.rearView, 5.0);
  EXPECT_EQ(init.frontView, 30.0);
  EXPECT_EQ(init.maxSpeed, 10.0);
  EXPECT_EQ(init.turn, 20.0);
  EXPECT_EQ(init.hardTurn, 60.0);

  const auto& first = std::get<Telemetry>(messages[1]);
  EXPECT_EQ(first.timeMs, 0);
  EXPECT_EQ(first.controls, (Controls{0, 0}));
  EXPECT_EQ(first.heading, 180.0);
  ASSERT_EQ(first.objects.size(), 2u);
  EXPECT_EQ(first.objects[0].kind, ObjectKind::Martian);
  EXPECT_EQ(first.objects[0].x, -3.25);
  EXPECT_EQ(first.objects[0].heading, -90.0);
  EXPECT_EQ(first.objects[0].speed, 1.5);
  EXPECT_EQ(first.objects[1].kind, ObjectKind::Home);
  EXPECT_EQ(first.objects[1].radius, 5.0);

  const auto& second = std::get<Telemetry>(messages[2]);
  EXPECT_EQ(second.controls, (Controls{1, 1}));
  EXPECT_EQ(second.y, -0.001);
  ASSERT_EQ(second.objects.size(), 2u);
  EXPECT_EQ(second.objects[0].kind, ObjectKind::Boulder);
  EXPECT_EQ(second.objects[0].y, -2.5);
  EXPECT_EQ(second.objects[0].radius, 1.25);
  EXPECT_EQ(second.objects[1].kind, ObjectKind::Crater);
  EXPECT_EQ(second.objects[1].x, -7.0);

  EXPECT_EQ(std::get<EventMessage>(messages[3]).kind, 'B');
  EXPECT_EQ(std::get<EventMessage>(messages[3]).timeMs, 130);
  const auto& afterBounce = std::get<Telemetry>(messages[4]);
  EXPECT_EQ(afterBounce.controls, (Controls{-1, -2}));
  EXPECT_EQ(afterBounce.heading, -180.0);
  EXPECT_EQ(afterBounce.speed, 3.25);
  EXPECT_TRUE(afterBounce.objects.empty());
  EXPECT_EQ(std::get<EventMessage>(messages[5]).kind, 'S');
  EXPECT_EQ(std::get<EndMessage>(messages[6]).timeMs, 5230);
  EXPECT_EQ(std::get<EndMessage>(messages[6]).scoreMs, 5230);
}

TEST(MessageReader, RecordedStreamInOneRead) {
  expectRecordedStream(parseAll({kStream}));
}

TEST(MessageReader, RecordedStreamByteByByte) {
  std::vector<std::string> pieces;
  for (char byte : kStream) pieces.emplace_back(1, byte);
  expectRecordedStream(parseAll(pieces));
}

TEST(MessageReader, RecordedStreamSplitAtEveryPosition) {
  for (std::size_t cut = 1; cut < kStream.size(); ++cut) {
    SCOPED_TRACE(cut);
    expectRecordedStream(parseAll({kStream.substr(0, cut), kStream.substr(cut)}));
  }
}

TEST(MessageReader, UnfinishedMessageWaitsForItsEnd) {
  MessageReader reader;
  reader.feed("B 10 ;T 20 -- 1.000 2.0");
  ASSERT_TRUE(reader.next().has_value());
  EXPECT_FALSE(reader.next().has_value());
  EXPECT_TRUE(reader.midMessage());
  reader.feed("00 3.0 0.000 ;");
  std::optional<Message> telemetry = reader.next();
  ASSERT_TRUE(telemetry.has_value());
  EXPECT_EQ(std::get<Telemetry>(*telemetry).y, 2.0);
  EXPECT_FALSE(reader.midMessage());
}

// A dense map's telemetry leaves the server in 1200-byte blocks.
TEST(MessageReader, LongTelemetrySplitIntoServerBlocks) {
  std::string text = "T 300 a- 1.000 2.000 45.0 6.500 ";
  for (int i = 0; i < 120; ++i)
    text += "b " + std::to_string(i) + ".500 -" + std::to_string(i) + ".250 1.000 ";
  text += ";";
  ASSERT_GT(text.size(), 2400u);
  std::vector<std::string> blocks;
  for (std::size_t at = 0; at < text.size(); at += 1200) blocks.push_back(text.substr(at, 1200));
  std::vector<Message> messages = parseAll(blocks);
  ASSERT_EQ(messages.size(), 1u);
  const auto& telemetry = std::get<Telemetry>(messages[0]);
  ASSERT_EQ(telemetry.objects.size(), 120u);
  EXPECT_EQ(telemetry.objects[99].x, 99.5);
  EXPECT_EQ(telemetry.objects[99].y, -99.25);
}

TEST(MessageReader, SpecialRealsAreRead) {
  auto telemetry = std::get<Telemetry>(parseMessage("T 0 -- inf -inf nan -0.000 "));
  EXPECT_TRUE(std::isinf(telemetry.x) && telemetry.x > 0);
  EXPECT_TRUE(std::isinf(telemetry.y) && telemetry.y < 0);
  EXPECT_TRUE(std::isnan(telemetry.heading));
  EXPECT_EQ(telemetry.speed, 0.0);
}

TEST(MessageReader, MalformedMessagesAreRejected) {
  const std::vector<std::string> cases = {
      "",                                                          // a bare ';'
      "X 10 ",                                                     // unknown letter
      "t 0 -- 1.000 2.000 3.0 4.000 ",                             // letters are case-sensitive
      "B ",                                                        // missing time
      "B 10 20 ",                                                  // extra field
      "B -10 ",                                                    // times are never negative
      "B 1.5 ",                                                    // times are whole milliseconds
      "E 100 ",                                                    // missing score
      "I 100.000 100.000 30000 5.000 30.000 10.000 20.0 ",         // missing hardTurn
      "I 100.000 100.000 30000 5.000 30.000 10.000 20.0 60.0 1 ",  // extra field
      "T 0 -- 1.000 2.000 3.0 ",                                   // missing speed
      "T 0 x- 1.000 2.000 3.0 4.000 ",                             // bad acceleration character
      "T 0 aa 1.000 2.000 3.0 4.000 ",                             // bad turn character
      "T 0 a 1.000 2.000 3.0 4.000 ",                              // short control field
      "T 0 -- 1.0x0 2.000 3.0 4.000 ",                             // bad number
      "T 0 -- 1.000 2.000 3.0 4.000 q 1 2 3 ",                     // unknown object kind
      "T 0 -- 1.000 2.000 3.0 4.000 b 1.000 2.000 ",               // boulder without radius
      "T 0 -- 1.000 2.000 3.0 4.000 m 1.000 2.000 3.0 ",           // Martian without speed
      "T 0 -- 1.000 2.000 3.0 4.000 h 0.000 0.000 5.000 c ",       // trailing kind letter
      "T 0 --  1.000 2.000 3.0 4.000 ",                            // every field ends with one space
      "T 99999999999999999999 -- 1.000 2.000 3.0 4.000 ",          // time out of range
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    MessageReader reader;
    reader.feed(text + ";");
    EXPECT_THROW(reader.next(), ProtocolError);
  }
}

TEST(MessageReader, GarbageWithoutTerminatorIsBounded) {
  MessageReader reader;
  std::string chunk(64 * 1024, 'x');
  EXPECT_THROW(
      {
        for (std::size_t fed = 0; fed <= MessageReader::kMaxMessageBytes; fed += chunk.size())
          reader.feed(chunk);
      },
      ProtocolError);
}

}  // namespace
}  // namespace rover::client
