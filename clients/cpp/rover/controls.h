#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rover/messages.h"

namespace rover::client {

/// A reply carries at most this many commands; the rest wait for the next telemetry.
inline constexpr std::size_t kMaxCommandsPerReply = 2;

/// The nearest state the rover can be in (accel -1..1, turn -2..2).
Controls clamp(Controls controls);
/// The commands ("a", "bl", ...) that move the controls from one state to
/// another (clamped), one notch of each per command; empty when they are equal.
std::vector<std::string> commandsToward(Controls from, Controls to);
/// The state after the server has applied the commands to `controls`.
Controls applyCommands(Controls controls, const std::vector<std::string>& commands);

// Knows which controls the server will hold once it has read every command
// sent so far. The server reads commands every 50 ms of run time. In
// lockstep the telemetry after a reply always shows it; in real time a slow
// reply can miss that read, and trusting the next telemetry then would send
// the same notch twice.
class ControlTracker {
 public:
  /// A run starts with straight, rolling controls and no commands pending.
  void startRun();
  /// The commands (at most two) to send after this telemetry message to move toward the wanted controls.
  std::vector<std::string> steer(const Telemetry& telemetry, Controls wanted);

 private:
  // A command sent after the telemetry of run time t has certainly been read
  // by the poll at t + 100 ms at the latest.
  static constexpr std::int64_t kSettleMs = 150;
  Controls expected_;
  std::int64_t lastSentMs_ = -kSettleMs;
};

}  // namespace rover::client
