// The kit's reader against the shared message table (clients/testdata/
// messages.tsv): every message of it, fed one byte at a time and in seeded
// random splits, must come out with every field as the table writes it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "rover/message_reader.h"

namespace rover::client {
namespace {

struct Row {
  std::string bytes;                // the message as the wire carries it
  std::vector<std::string> fields;  // the letter, then its fields as text
};

std::string unescape(const std::string& field) {
  std::string bytes;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      bytes += field[i];
      continue;
    }
    char code = field.at(++i);
    if (code == 'x') {
      bytes += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      bytes += code == 't' ? '\t' : code == 'n' ? '\n' : code == 'r' ? '\r' : code;
    }
  }
  return bytes;
}

std::vector<Row> loadTable() {
  std::ifstream table(ROVER_MESSAGE_TABLE);
  std::vector<Row> rows;
  for (std::string line; std::getline(table, line);) {
    Row row;
    for (std::size_t begin = 0, end = 0; end != std::string::npos; begin = end + 1) {
      end = line.find('\t', begin);
      row.fields.push_back(line.substr(begin, end == std::string::npos ? end : end - begin));
    }
    row.bytes = unescape(row.fields.front());
    row.fields.erase(row.fields.begin());
    rows.push_back(std::move(row));
  }
  return rows;
}

// A real equals the double nearest its text (NaN matches NaN).
void expectReal(double value, const std::string& text) {
  double expected = std::strtod(text.c_str(), nullptr);
  EXPECT_TRUE(value == expected || (std::isnan(value) && std::isnan(expected))) << value << " vs " << text;
}

std::int64_t whole(const std::string& text) {
  return std::stoll(text);
}

void expectMessage(const Message& message, const std::vector<std::string>& row) {
  const std::string& letter = row[0];
  auto field = [&](std::size_t i) -> const std::string& { return row.at(i + 1); };
  if (letter == "I") {
    const auto& init = std::get<InitMessage>(message);
    for (auto [value, i] : {std::pair{init.sizeX, 0},
                            {init.sizeY, 1},
                            {init.rearView, 3},
                            {init.frontView, 4},
                            {init.maxSpeed, 5},
                            {init.turn, 6},
                            {init.hardTurn, 7}})
      expectReal(value, field(i));
    EXPECT_EQ(init.timeLimitMs, whole(field(2)));
  } else if (letter == "T") {
    const auto& t = std::get<Telemetry>(message);
    EXPECT_EQ(t.timeMs, whole(field(0)));
    EXPECT_EQ(t.control, field(1));
    const std::string accel = "b-a", turn = "Rr-lL";
    EXPECT_EQ(t.controls, (Controls{static_cast<int>(accel.find(field(1)[0])) - 1,
                                    static_cast<int>(turn.find(field(1)[1])) - 2}));
    for (auto [value, i] : {std::pair{t.x, 2}, {t.y, 3}, {t.heading, 4}, {t.speed, 5}})
      expectReal(value, field(i));
    ASSERT_EQ(t.objects.size(), static_cast<std::size_t>(whole(field(6))));
    std::size_t at = 7;
    for (const SeenObject& seen : t.objects) {
      const char* kinds = "bchm";
      EXPECT_EQ(kinds[static_cast<int>(seen.kind)], field(at).at(0));
      expectReal(seen.x, field(at + 1));
      expectReal(seen.y, field(at + 2));
      if (seen.kind == ObjectKind::Martian) {
        expectReal(seen.heading, field(at + 3));
        expectReal(seen.speed, field(at + 4));
      } else {
        expectReal(seen.radius, field(at + 3));
      }
      at += seen.kind == ObjectKind::Martian ? 5 : 4;
    }
    EXPECT_EQ(at + 1, row.size());
  } else if (letter == "E") {
    EXPECT_EQ(std::get<EndMessage>(message).timeMs, whole(field(0)));
    EXPECT_EQ(std::get<EndMessage>(message).scoreMs, whole(field(1)));
  } else {
    EXPECT_EQ(std::get<EventMessage>(message).kind, letter.at(0));
    EXPECT_EQ(std::get<EventMessage>(message).timeMs, whole(field(0)));
  }
}

void readInPieces(const std::vector<Row>& table, std::vector<std::size_t> cuts) {
  std::string stream;
  for (const Row& row : table) stream += row.bytes;
  cuts.push_back(stream.size());
  MessageReader reader;
  std::vector<Message> messages;
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    reader.feed(std::string_view(stream).substr(at, cut - at));
    at = cut;
    while (std::optional<Message> message = reader.next()) messages.push_back(std::move(*message));
  }
  EXPECT_FALSE(reader.midMessage());
  ASSERT_EQ(messages.size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE(table[i].bytes.substr(0, 40));
    expectMessage(messages[i], table[i].fields);
  }
}

std::size_t streamSize(const std::vector<Row>& table) {
  std::size_t size = 0;
  for (const Row& row : table) size += row.bytes.size();
  return size;
}

TEST(MessageTable, HasALongTelemetryAndABounceWithItsTelemetry) {
  std::vector<Row> table = loadTable();
  bool longT = false, bounceThenT = false;
  for (std::size_t i = 0; i < table.size(); ++i) {
    longT |= table[i].fields[0] == "T" && table[i].bytes.size() > 1200;
    bounceThenT |= table[i].fields[0] == "B" && i + 1 < table.size() && table[i + 1].fields[0] == "T";
  }
  EXPECT_TRUE(longT);
  EXPECT_TRUE(bounceThenT);
}

TEST(MessageTable, ReadByteByByte) {
  std::vector<Row> table = loadTable();
  std::vector<std::size_t> cuts;
  for (std::size_t cut = 1; cut < streamSize(table); ++cut) cuts.push_back(cut);
  readInPieces(table, cuts);
}

TEST(MessageTable, ReadInSeededRandomSplits) {
  std::vector<Row> table = loadTable();
  std::size_t size = streamSize(table);
  for (unsigned seed = 0; seed < 8; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    std::size_t pieces = std::vector<std::size_t>{3, 40, 400}[random() % 3];
    std::set<std::size_t> cuts;
    while (cuts.size() < pieces) cuts.insert(1 + random() % (size - 1));
    readInPieces(table, std::vector<std::size_t>(cuts.begin(), cuts.end()));
  }
}

TEST(MessageTable, Unescape) {
  EXPECT_EQ(unescape("a\\\\b\\t\\n\\r\\x00\\xff;"), std::string("a\\b\t\n\r\0\xff;", 9));
}

}  // namespace
}  // namespace rover::client
