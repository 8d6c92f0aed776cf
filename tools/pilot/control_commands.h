#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages.h"

namespace rover::pilot {

/// The commands ("a", "bl", ...) that move the controls from one state to
/// another, one notch of each per command; empty when they are equal.
std::vector<std::string> commandsToward(Controls from, Controls to);

// Knows which controls the server will hold once it has read every command
// sent so far. Commands wait for the server's next input poll (every 50 ms),
// so the telemetry right after a command may not show it yet; trusting it
// then would send the same notch twice.
class ControlTracker {
 public:
  /// A run starts with straight, rolling controls and no commands pending.
  void startRun();
  /// The commands to send after this telemetry message to reach the wanted controls.
  std::vector<std::string> steer(const Telemetry& telemetry, Controls wanted);

 private:
  // A command sent after the telemetry of run time t has certainly been read
  // by the poll at t + 100 ms at the latest.
  static constexpr std::int64_t kSettleMs = 150;
  Controls expected_;
  std::int64_t lastSentMs_ = -kSettleMs;
};

}  // namespace rover::pilot
