#include "rover/session.h"

namespace rover::client {

std::string Session::onBytes(std::string_view bytes) {
  reader_.feed(bytes);
  std::string out;
  while (std::optional<Message> message = reader_.next()) {
    handle(*message);
    const Telemetry* telemetry = std::get_if<Telemetry>(&*message);
    if (telemetry == nullptr) continue;
    for (const std::string& command : tracker_.steer(*telemetry, bot_.onTelemetry(*telemetry))) {
      out += command;
      out += ';';
    }
    out += ';';
  }
  return out;
}

void Session::handle(const Message& message) {
  if (const InitMessage* init = std::get_if<InitMessage>(&message)) {
    initialized_ = true;
    bot_.onInit(*init);
  } else if (std::holds_alternative<Telemetry>(message)) {
    if (!initialized_) throw ProtocolError("telemetry before the initialization message");
    if (!inRun_) {
      inRun_ = true;
      tracker_.startRun();
      bot_.onRunStart(runsFinished_ + 1);
    }
  } else if (const EventMessage* event = std::get_if<EventMessage>(&message)) {
    if (!inRun_) throw ProtocolError(std::string("event \"") + event->kind + "\" outside a run");
    bot_.onEvent(*event);
  } else if (const EndMessage* end = std::get_if<EndMessage>(&message)) {
    if (!inRun_) throw ProtocolError("end of a run that never started");
    inRun_ = false;
    ++runsFinished_;
    bot_.onEnd(*end);
  }
}

}  // namespace rover::client
