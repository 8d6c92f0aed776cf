#include "pilot_session.h"

namespace rover::pilot {

std::string PilotSession::onBytes(std::string_view bytes) {
  parser_.feed(bytes);
  // Every telemetry message gets exactly one reply, computed from the
  // messages up to it and ended by a bare ";" (alone when there is nothing
  // to change). A lockstep server waits for each reply; a real-time one
  // reads at most one reply per input poll.
  std::string out;
  while (std::optional<Message> message = parser_.next()) {
    handle(*message);
    const Telemetry* telemetry = std::get_if<Telemetry>(&*message);
    if (telemetry == nullptr) continue;
    for (const std::string& command : tracker_.steer(*telemetry, autopilot_->decide())) {
      out += command;
      out += ';';
    }
    out += ';';
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
  } else if (const EventMessage* event = std::get_if<EventMessage>(&message)) {
    if (!inRun_) throw ProtocolError(std::string("event \"") + event->kind + "\" outside a run");
    tally_.onEvent(*event);
    if (event->kind == 'B') autopilot_->noteBounce();
  } else if (const EndMessage* end = std::get_if<EndMessage>(&message)) {
    if (!inRun_) throw ProtocolError("end of a run that never started");
    inRun_ = false;
    ++runsFinished_;
    onResult_(tally_.finish(*end));
  }
}

bool PilotSession::canEndHere() const {
  return !inRun_ && !parser_.midMessage();
}

}  // namespace rover::pilot
