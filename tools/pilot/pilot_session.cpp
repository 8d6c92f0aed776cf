#include "pilot_session.h"

namespace rover::pilot {

std::string PilotSession::onBytes(std::string_view bytes) {
  parser_.feed(bytes);
  Telemetry latest;
  while (std::optional<Message> message = parser_.next()) {
    if (const Telemetry* telemetry = std::get_if<Telemetry>(&*message)) latest = *telemetry;
    handle(*message);
  }
  // Several messages can arrive at once (after a stall, or a bounce's extra
  // telemetry); all are taken in, but only the newest state is steered from.
  std::string out;
  if (inRun_ && steerNow_) {
    steerNow_ = false;
    for (const std::string& command : tracker_.steer(latest, autopilot_->decide())) out += command + ";";
  }
  return out;
}

void PilotSession::handle(const Message& message) {
  if (const InitMessage* init = std::get_if<InitMessage>(&message)) {
    autopilot_ = std::make_unique<Autopilot>(*init);
  } else if (const Telemetry* telemetry = std::get_if<Telemetry>(&message)) {
    if (!autopilot_) throw ProtocolError("telemetry before the initialization message");
    if (!inRun_) {
      inRun_ = true;
      autopilot_->startRun();
      tracker_.startRun();
      tally_.startRun(runsFinished_ + 1);
    }
    autopilot_->observe(*telemetry);
    steerNow_ = true;
  } else if (const EventMessage* event = std::get_if<EventMessage>(&message)) {
    if (!inRun_) throw ProtocolError(std::string("event \"") + event->kind + "\" outside a run");
    tally_.onEvent(*event);
    if (event->kind == 'B') autopilot_->noteBounce();
  } else if (const EndMessage* end = std::get_if<EndMessage>(&message)) {
    if (!inRun_) throw ProtocolError("end of a run that never started");
    inRun_ = false;
    steerNow_ = false;
    ++runsFinished_;
    onResult_(tally_.finish(*end));
  }
}

bool PilotSession::canEndHere() const {
  return !inRun_ && !parser_.midMessage();
}

}  // namespace rover::pilot
