#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/output_files.h"
#include "driver/clock.h"
#include "driver/game.h"
#include "driver/game_listener.h"
#include "net/recording_transport.h"
#include "record/game_info.h"
#include "record/timing_histogram.h"

namespace rover {

// What the timing file says about one run (docs/timing.md).
struct RunTimings {
  int number = 0;
  bool lockstep = false;
  bool ended = false;  // false: a failure or "q" cut the run short
  // Lockstep: every reply awaited, late or not.
  std::uint64_t replies = 0;
  std::uint64_t lateReplies = 0;
  std::uint64_t aheadReplies = 0;
  TimingHistogram replyTimes;
  // Real time.
  std::uint64_t commands = 0;
  std::uint64_t polls = 0;
  std::uint64_t pollsWithInput = 0;  // polls in which bytes arrived
  std::uint64_t telemetry = 0;
  TimingHistogram telemetryLateness;  // how late each "T" left against its due time

  void fields(auto& f) {
    f(Field{"number", number}, Field{"ended", ended});
    if (lockstep) {
      f(Field{"replies", replies}, Field{"late_replies", lateReplies}, Field{"ahead_replies", aheadReplies},
        Field{"reply_us", replyTimes});
    } else {
      f(Field{"commands", commands}, Field{"polls", polls}, Field{"polls_with_input", pollsWithInput},
        Field{"telemetry", telemetry}, Field{"telemetry_late_us", telemetryLateness});
    }
  }
};

// The timing file (--timing, docs/timing.md): wall-clock figures of a game,
// kept apart from the record and the results, which hold none. Lockstep:
// every reply's time from its "T" leaving to its bare ";" arriving. Real
// time: the commands and input polls, and how late each "T" left. Written
// as one JSON document when the game ends, through an output file of kind
// Whole (base/output_files.h), like the results file.
class TimingWriter final : public GameListener, public ReceiveObserver {
 public:
  // `file`: claimed with the other outputs and opened (OutputFiles).
  TimingWriter(OutputFile& file, const GameInfo& info);

  // Real time: the game whose "T" messages are measured against their
  // schedule, and its clock.
  void watch(const Game& game, Clock& clock) {
    game_ = &game;
    clock_ = &clock;
  }

  void runStarted(const MapSpec& map, int number) override;
  void inputReading(InputPhase phase, const Stamp& at) override;
  void commandsApplied(const Stamp& at, const std::vector<std::string>& commands) override;
  void messageSent(const Stamp& at, std::string_view text) override;
  void replyTimed(const ReplyTiming& timing) override;
  void runResult(const RunReport& report) override;
  // Writes the document and renames it into place; a system error "cannot
  // write PATH: <reason>" when that fails, and no temporary is left.
  void gameEnded(const GameEnding& ending) override;

  void receiving() override {}
  void received(std::string_view bytes, bool eof) override;

  // The document as it stands (the file's content when the game ends so).
  std::string document(const GameEnding& ending);

 private:
  OutputFile& file_;
  GameInfo info_;
  const Game* game_ = nullptr;
  Clock* clock_ = nullptr;
  std::vector<RunTimings> runs_;
  InputPhase phase_ = InputPhase::Drain;
  bool pollFoundInput_ = false;
};

}  // namespace rover
