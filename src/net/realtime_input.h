#pragma once

#include "net/client_input.h"
#include "net/command_reader.h"

namespace rover {

// Real time: each poll applies every complete command that has arrived, up
// to a bare ";"; the run-start drain discards up to 999 stale ones.
class RealtimeInput final : public ClientInput {
 public:
  explicit RealtimeInput(CommandReader& reader) : reader_(reader) {}
  void drain() override;
  void poll(const TimeValue& instant, ControlState& control, std::vector<std::string>& applied) override;

 private:
  CommandReader& reader_;
};

}  // namespace rover
