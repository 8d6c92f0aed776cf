#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driver/game_recording.h"
#include "record/game_info.h"
#include "record/record_output.h"

namespace rover {

// Writes a game record (docs/record-format.md) as the game runs: it hears the
// game, every receive on the client's connection and every lockstep reply,
// and turns each into one JSON line. It flushes at every run end, so the
// record of a game that died is readable up to its last complete run.
class RecordWriter final : public GameRecording {
 public:
  RecordWriter(RecordOutput& sink, const GameInfo& info, const MapSpec& map);

  // The footer, then the sink is closed.
  void gameEnded(const GameEnding& ending) override;

  void runStarting(int number) override;
  void inputReading(InputPhase phase, const Stamp& at) override;
  void commandsApplied(const Stamp& at, const std::vector<std::string>& commands) override;
  void messageSent(const Stamp& at, std::string_view text) override;
  void sensed(const Stamp& at, const World& world, const std::vector<std::size_t>& visible,
              const std::vector<std::size_t>& occluded, bool periodic) override;
  void stepped(const Stamp& at, const World& world, const StepResult& result) override;
  void runClosed(const RunReport& report) override;

  void receiving() override { receiveInFlight_ = true; }
  void received(std::string_view bytes, bool eof) override;

  void replyCompleted(std::uint64_t number) override { replyLine("reply", number); }
  void replyLate(std::uint64_t number) override { replyLine("late", number); }
  void replyDiscarded(std::uint64_t number) override { replyLine("discard", number); }

 private:
  // Starts a line: {"type":"<type>","run":R,"t":T
  void begin(const char* type, const Stamp& at);
  void end();
  void replyLine(const char* type, std::uint64_t number);

  RecordOutput& sink_;
  std::string line_;
  Stamp phaseAt_;
  InputPhase phase_ = InputPhase::Poll;
  bool receiveInFlight_ = false;
  std::uint64_t runs_ = 0;
  std::uint64_t messages_ = 0;
  std::uint64_t steps_ = 0;
};

}  // namespace rover
