// The record schema against real records, the fixture games of
// tests/fixtures (README.md there): every line read by the typed reader and
// written again by the writer gives its own bytes; replay makes of each
// record what the server made of its game; every score follows the outcome
// table; and the set holds what later readers rely on.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "record/line_reader.h"
#include "record/line_writer.h"
#include "record/results_document.h"
#include "record_reader.h"
#include "recorded_runs.h"
#include "sim/motion.h"
#include "sim/run_score.h"
#include "sim/view_ellipse.h"
#include "verify.h"

namespace rover {
namespace {

const std::string kFixtures = ROVER_FIXTURES;

std::string fileText(const std::string& name) {
  std::ifstream in(kFixtures + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// expected.json: the facts make_fixtures.py noted for each game.
const rapidjson::Document& expected() {
  static const rapidjson::Document document = [] {
    rapidjson::Document d;
    d.Parse<rapidjson::kParseNumbersAsStringsFlag>(fileText("expected.json").c_str());
    return d;
  }();
  return document;
}

std::string text(const rapidjson::Value& value) {
  return std::string(value.GetString(), value.GetStringLength());
}

// A wire real that rounds to zero from below is written "-0.000" and reads
// back as -0.0, which is written "0.000": the text kept no more than that.
std::string withoutNegativeZeros(std::string line) {
  for (std::size_t at = line.find("-0."); at != std::string::npos; at = line.find("-0.", at + 1)) {
    const std::size_t end = line.find_first_not_of('0', at + 3);
    if (end != std::string::npos && std::string(",]}").find(line[end]) != std::string::npos)
      line.erase(at, 1);
  }
  return line;
}

const char* const kGames[] = {"lockstep", "realtime", "failed", "no_footer"};

// Every line of a fixture file as replay's stream reads it.
std::vector<std::string> linesOf(const std::string& file, bool* cutShort = nullptr) {
  replay::RecordStream stream(kFixtures + "/" + file, {});
  std::vector<std::string> lines;
  for (std::string line; stream.next(line);) lines.push_back(line);
  if (cutShort != nullptr) *cutShort = stream.cutShort();
  return lines;
}

// What `command` makes of the game's record, read as replay reads it.
template <class Command>
auto withRecord(const std::string& game, Command command) {
  replay::RecordStream stream(kFixtures + "/" + game + ".jsonl", {});
  replay::RecordReader record(stream);
  return command(record);
}

TEST(Fixtures, EveryLineReadsAndWritesBackToItsOwnBytes) {
  for (const std::string file :
       {"lockstep.jsonl", "lockstep.jsonl.gz", "realtime.jsonl", "failed.jsonl", "no_footer.jsonl"}) {
    SCOPED_TRACE(file);
    bool cutShort = true;
    const std::vector<std::string> lines = linesOf(file, &cutShort);
    EXPECT_FALSE(cutShort);
    std::map<std::string, int> types;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string written;
      std::visit(
          [&](const auto& line) {
            appendRecordLine(written, line);
            ++types[std::decay_t<decltype(line)>::kType];
          },
          readRecordLine(lines[i], i + 1));
      ASSERT_EQ(written, withoutNegativeZeros(lines[i]) + "\n") << "line " << i + 1;
    }
    const rapidjson::Value& counts = expected()[file.substr(0, file.find('.')).c_str()]["counts"];
    std::map<std::string, int> noted;
    for (const auto& count : counts.GetObject())
      noted[count.name.GetString()] = std::stoi(count.value.GetString());
    EXPECT_EQ(types, noted);
  }
  EXPECT_EQ(linesOf("lockstep.jsonl"), linesOf("lockstep.jsonl.gz"));
}

TEST(Fixtures, ReplayMakesOfEachRecordWhatTheServerMadeOfItsGame) {
  for (const std::string game : kGames) {
    SCOPED_TRACE(game);
    const rapidjson::Value& facts = expected()[game.c_str()];
    const replay::Verdict verdict = withRecord(game, replay::verifyRecord);
    EXPECT_EQ(verdict.report + "\n", text(facts["verify"]["report"]));
    EXPECT_EQ(std::to_string(verdict.status), text(facts["verify"]["status"]));

    const replay::RecordedRuns runs = withRecord(game, replay::readRecordedRuns);
    EXPECT_EQ(replay::summaryText(runs), text(facts["summary"]));
    const std::string rebuilt = resultsDocument(runs.info, runs.runs, runs.ending);
    EXPECT_EQ(rebuilt, fileText(text(facts["replay_results"])));
    // The results document the server wrote is the one its record rebuilds.
    if (facts["results"].IsString()) {
      EXPECT_EQ(rebuilt, fileText(text(facts["results"])));
    }
    const rapidjson::Value& lines = facts["server"]["result_lines"];
    ASSERT_EQ(runs.runs.size(), lines.Size());
    for (std::size_t i = 0; i < runs.runs.size(); ++i) {
      EXPECT_EQ(runs.runs[i].resultLine, text(lines[static_cast<rapidjson::SizeType>(i)]));
    }
  }
}

TEST(Fixtures, EveryScoreFollowsTheOutcomeTable) {
  for (const std::string game : kGames) {
    SCOPED_TRACE(game);
    const TimeValue limit =
        TimeValue::fromMillis(std::stoll(text(expected()[game.c_str()]["time_limit_ms"])));
    for (const RunReport& run : withRecord(game, replay::readRecordedRuns).runs) {
      EXPECT_EQ(runScore(run.outcome, TimeValue::fromMillis(run.runMillis), limit).wholeMillis(),
                run.scoreMillis);
    }
  }
}

// What the set must hold, counted from the records themselves: every
// outcome, a bounce followed by its extra T, a T longer than the 1200-byte
// output buffer, both modes, a failed game and one without a footer.
TEST(Fixtures, HoldWhatReadersRelyOn) {
  std::map<Outcome, int> outcomes;
  std::size_t longest = 0;
  std::map<std::string, int> bouncesWithTheirT;
  std::map<PlayMode, int> modes;
  std::map<std::string, std::string> endings;
  for (const std::string game : kGames) {
    const std::vector<std::string> lines = linesOf(game + ".jsonl");
    const MsgLine* previous = nullptr;
    std::vector<RecordEntry> entries;
    for (std::size_t i = 0; i < lines.size(); ++i) entries.push_back(readRecordLine(lines[i], i + 1));
    endings[game] = "no footer";
    for (const RecordEntry& entry : entries) {
      if (const auto* header = std::get_if<HeaderLine>(&entry)) ++modes[header->mode];
      if (const auto* end = std::get_if<RunEndLine>(&entry)) ++outcomes[end->run.outcome];
      if (const auto* footer = std::get_if<FooterLine>(&entry))
        endings[game] = kStatusNames[int(footer->status)];
      const auto* message = std::get_if<MsgLine>(&entry);
      if (message == nullptr) continue;
      if (message->text[0] == 'T') longest = std::max(longest, message->text.size());
      if (previous != nullptr && previous->text[0] == 'B' && message->text[0] == 'T' &&
          previous->at.run == message->at.run && previous->at.runTime == message->at.runTime) {
        ++bouncesWithTheirT[game];
      }
      previous = message;
    }
  }
  EXPECT_EQ(outcomes.size(), 4u);
  EXPECT_GT(longest, 1200u);
  EXPECT_EQ(std::to_string(longest), text(expected()["lockstep"]["longest_telemetry"]));
  EXPECT_GE(bouncesWithTheirT["lockstep"], 1);
  EXPECT_EQ(std::to_string(bouncesWithTheirT["lockstep"]),
            text(expected()["lockstep"]["bounces_with_their_t"]));
  EXPECT_EQ(modes.size(), 2u);
  EXPECT_EQ(endings, (std::map<std::string, std::string>{{"failed", "failed"},
                                                         {"lockstep", "completed"},
                                                         {"no_footer", "no footer"},
                                                         {"realtime", "completed"}}));
}

std::string shortest(double x) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
}

// The view ellipse as the server makes it (makeViewEllipse) around a rover
// at (x, y) with this heading: its centre, where sensing and replay draw put
// it, and its axes. The viewer's
// test reads the same file and must find the same doubles
// (tests/viewer/viewer_test.mjs, case "ellipse"). ROVER_UPDATE_FIXTURES=1
// writes the file from the server's values.
TEST(Fixtures, ViewEllipsesAreTheServers) {
  struct Case {
    double x, y, heading, front, rear;
  };
  const Case cases[] = {
      {33, 0, 0, 20, 4},     {-12.345, 6.789, 37.3, 7.77, 1.23}, {0.5, -0.25, -123.4, 3, 17.5},
      {10, 10, 180, 10, 10}, {-40.125, 22.5, 90.1, 30.3, 0},     {0.001, -7, -179.9, 0.1, 25}};
  std::string file = "[\n";
  for (const Case& c : cases) {
    VehicleParams params;
    params.frontView = c.front;
    params.rearView = c.rear;
    const ViewEllipse view = makeViewEllipse(params);
    // Where sensing puts it: the rover's position plus its direction times the offset.
    const MotionState rover = startMotionState(c.x, c.y, c.heading, 0);
    const Vec2 centre = rover.position + rover.direction * view.offset;
    file += std::string(file.size() > 2 ? ",\n" : "") + "  {\"x\": " + shortest(c.x) +
            ", \"y\": " + shortest(c.y) + ", \"heading\": " + shortest(c.heading) +
            ", \"front_view\": " + shortest(c.front) + ", \"rear_view\": " + shortest(c.rear) +
            ", \"centre_x\": " + shortest(centre.x) + ", \"centre_y\": " + shortest(centre.y) +
            ", \"major\": " + shortest(view.major) + ", \"minor\": " + shortest(view.minor) + "}";
  }
  file += "\n]\n";
  if (std::getenv("ROVER_UPDATE_FIXTURES") != nullptr) {
    std::ofstream(kFixtures + "/view_ellipses.json", std::ios::binary) << file;
  }
  EXPECT_EQ(fileText("view_ellipses.json"), file);
}

}  // namespace
}  // namespace rover
