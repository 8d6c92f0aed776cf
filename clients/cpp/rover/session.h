#pragma once

#include <string>
#include <string_view>

#include "rover/bot.h"
#include "rover/controls.h"
#include "rover/message_reader.h"

namespace rover::client {

// A controller without the socket: bytes from the server go in, the bot hears
// each message, and the replies to send come out. Every telemetry message gets
// exactly one reply: the commands toward the bot's wanted controls (at most
// two), then a bare ";". A lockstep server waits for each reply; a real-time
// one reads them the same way.
class Session {
 public:
  explicit Session(Bot& bot) : bot_(bot) {}

  /// Handles received bytes; returns the replies to send (possibly none). Throws ProtocolError.
  std::string onBytes(std::string_view bytes);
  /// Whether the stream may end here: not inside a message and not inside a run.
  bool canEndHere() const { return !inRun_ && !reader_.midMessage(); }
  int runsFinished() const { return runsFinished_; }

 private:
  void handle(const Message& message);

  Bot& bot_;
  MessageReader reader_;
  ControlTracker tracker_;
  bool initialized_ = false;
  bool inRun_ = false;
  int runsFinished_ = 0;
};

}  // namespace rover::client
