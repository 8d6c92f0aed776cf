#pragma once

#include <functional>
#include <memory>
#include <string>

#include "autopilot.h"
#include "rover/bot.h"
#include "run_tally.h"

namespace rover::pilot {

// pilot's decisions as a starter-kit bot: the autopilot steers, and each
// finished run is reported through a callback with its result line.
class PilotBot : public client::Bot {
 public:
  using ResultSink = std::function<void(const std::string& line)>;

  explicit PilotBot(ResultSink onResult) : onResult_(std::move(onResult)) {}

  void onInit(const InitMessage& init) override;
  void onRunStart(int run) override;
  Controls onTelemetry(const Telemetry& telemetry) override;
  void onEvent(const EventMessage& event) override;
  void onEnd(const EndMessage& end) override;

 private:
  ResultSink onResult_;
  std::unique_ptr<Autopilot> autopilot_;
  RunTally tally_;
};

}  // namespace rover::pilot
