#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "autopilot.h"
#include "control_commands.h"
#include "message_parser.h"
#include "run_tally.h"

namespace rover::pilot {

// The whole controller without the socket: bytes from the server go in,
// command bytes for the server come out, and each finished run is reported
// through a callback with its result line.
class PilotSession {
 public:
  using ResultSink = std::function<void(const std::string& line)>;

  explicit PilotSession(ResultSink onResult) : onResult_(std::move(onResult)) {}

  /// Handles received bytes; returns the replies to send, one per telemetry
  /// message (possibly none). Throws ProtocolError.
  std::string onBytes(std::string_view bytes);
  /// Whether the stream may end here: not inside a message and not inside a run.
  bool canEndHere() const;
  int runsFinished() const { return runsFinished_; }

 private:
  void handle(const Message& message);

  ResultSink onResult_;
  MessageParser parser_;
  std::unique_ptr<Autopilot> autopilot_;
  ControlTracker tracker_;
  RunTally tally_;
  bool inRun_ = false;
  int runsFinished_ = 0;
};

}  // namespace rover::pilot
