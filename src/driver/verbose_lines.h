#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "base/failure.h"
#include "driver/game_listener.h"

namespace rover {

// The lines --verbose adds on standard error. Each starts "server: " and
// holds its bytes escaped (base/line_escape.h), so it stays one line
// whatever a client sent.

// The line that explains a failure, printed after the failure's own line:
// where in the map it was found when it was (line and column), its message
// (its kind instead when it has none, unless that is "Fail") and what it
// means. Ends with "\n".
std::string verboseFailureLine(const Failure& failure);

// Lockstep: one line per late reply, and one the first time a complete
// reply had arrived before its "T" was sent. Needs the session to time
// replies (SessionSetup::timeReplies).
class VerboseReplies final : public GameListener {
 public:
  // `timeoutMillis`: the reply timeout, named in the late lines.
  VerboseReplies(std::FILE* err, std::optional<std::uint32_t> timeoutMillis)
      : err_(err), timeoutMillis_(timeoutMillis) {}

  // The replies awaited next answer the "T" messages of this wait's instant.
  void inputReading(InputPhase phase, const Stamp& at) override {
    if (phase == InputPhase::Wait) waitAt_ = at;
  }
  void replyTimed(const ReplyTiming& timing) override;

 private:
  void print(const std::string& text);

  std::FILE* err_;
  std::optional<std::uint32_t> timeoutMillis_;
  Stamp waitAt_;
  bool aheadSeen_ = false;
};

}  // namespace rover
