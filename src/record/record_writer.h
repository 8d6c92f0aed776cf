#pragma once

#include <cstdint>
#include <string>

#include "driver/game_session.h"
#include "record/game_info.h"
#include "record/record_lines.h"
#include "record/record_output.h"

namespace rover {

// Writes a game record (docs/record-format.md) as the game runs: it hears the
// game, every receive on the client's connection and every lockstep reply,
// and turns each into one line of record/record_lines.h. The header and the
// "I" line are handed to the output as the game starts, without waiting for
// it; so is everything at every "T" (docs/record-format.md); every run's
// close is flushed, so the record of a game that died is readable up to its
// last complete run.
class RecordWriter final : public GameRecording {
 public:
  RecordWriter(RecordOutput& sink, const GameInfo& info, const MapSpec& map);

  void gameStarted() override { sink_.handOver(); }
  void runStarting(int number) override;
  void inputReading(InputPhase phase, const Stamp& at) override;
  void commandsApplied(const Stamp& at, const std::vector<std::string>& commands) override;
  void messageSent(const Stamp& at, std::string_view text) override;
  void sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
              const std::vector<std::size_t>& occluded, bool periodic) override;
  void stepped(const Stamp& at, const World& world, const StepResult& result) override;
  void runClosed(const RunReport& report) override;
  // The footer, then the sink is closed.
  void gameEnded(const GameEnding& ending) override;

  void receiving() override { receiveInFlight_ = true; }
  void received(std::string_view bytes, bool eof) override;

  void replyCompleted(std::uint64_t number) override { write(ReplyLine{{phaseAt_}, number}); }
  void replyLate(std::uint64_t number) override { write(LateLine{{phaseAt_}, number}); }
  void replyDiscarded(std::uint64_t number) override { write(DiscardLine{{phaseAt_}, number}); }

 private:
  // Appends the line and hands it to the sink.
  template <class Line>
  void write(const Line& line);

  RecordOutput& sink_;
  std::string text_;  // the line being written; its storage is kept
  Stamp phaseAt_;
  InputPhase phase_ = InputPhase::Poll;
  bool receiveInFlight_ = false;
  std::uint64_t runs_ = 0;
  std::uint64_t messages_ = 0;
  std::uint64_t steps_ = 0;
  // Lines filled again and again, so their storage is kept too.
  StepLine step_;
  SenseLine sense_;
  MartiansLine martians_;
  CmdLine cmd_;
};

}  // namespace rover
