#include "pilot_bot.h"

namespace rover::pilot {

void PilotBot::onInit(const InitMessage& init) {
  autopilot_ = std::make_unique<Autopilot>(init);
}

void PilotBot::onRunStart(int run) {
  autopilot_->startRun();
  tally_.startRun(run);
}

Controls PilotBot::onTelemetry(const Telemetry& telemetry) {
  autopilot_->observe(telemetry);
  return autopilot_->decide();
}

void PilotBot::onEvent(const EventMessage& event) {
  tally_.onEvent(event);
  if (event.kind == 'B') autopilot_->noteBounce();
}

void PilotBot::onEnd(const EndMessage& end) {
  onResult_(tally_.finish(end));
}

}  // namespace rover::pilot
