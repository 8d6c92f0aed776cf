#pragma once

#include "rover/messages.h"

namespace rover::client {

// A controller's decisions. Override onTelemetry; the other calls are there
// when you need them. Session calls them in the order the messages arrive.
class Bot {
 public:
  virtual ~Bot() = default;
  /// The map's parameters, once before the first run.
  virtual void onInit(const InitMessage&) {}
  /// A run begins (run 1, 2, ...); its first telemetry follows.
  virtual void onRunStart(int /*run*/) {}
  /// The controls wanted now; the session sends the commands that move toward them.
  virtual Controls onTelemetry(const Telemetry& telemetry) = 0;
  /// "B", "C", "K" or "S" happened.
  virtual void onEvent(const EventMessage&) {}
  /// The run is over with end.scoreMs (lower is better).
  virtual void onEnd(const EndMessage&) {}
};

}  // namespace rover::client
