#include "rover/controls.h"

#include <algorithm>

namespace rover::client {

namespace {

int towards(int from, int to) {
  return from < to ? 1 : (from > to ? -1 : 0);
}

}  // namespace

Controls clamp(Controls controls) {
  return Controls{std::clamp(controls.accel, -1, 1), std::clamp(controls.turn, -2, 2)};
}

std::vector<std::string> commandsToward(Controls from, Controls to) {
  to = clamp(to);
  std::vector<std::string> commands;
  while (!(from == to)) {
    int accel = towards(from.accel, to.accel);
    int turn = towards(from.turn, to.turn);
    std::string command;
    if (accel != 0) command += accel > 0 ? 'a' : 'b';
    if (turn != 0) command += turn > 0 ? 'l' : 'r';
    commands.push_back(command);
    from.accel += accel;
    from.turn += turn;
  }
  return commands;
}

Controls applyCommands(Controls controls, const std::vector<std::string>& commands) {
  for (const std::string& command : commands) {
    auto has = [&](char letter) { return command.find(letter) != std::string::npos ? 1 : 0; };
    controls = clamp(Controls{controls.accel + has('a') - has('b'), controls.turn + has('l') - has('r')});
  }
  return controls;
}

void ControlTracker::startRun() {
  expected_ = Controls{};
  lastSentMs_ = -kSettleMs;
}

std::vector<std::string> ControlTracker::steer(const Telemetry& telemetry, Controls wanted) {
  if (telemetry.timeMs >= lastSentMs_ + kSettleMs) expected_ = telemetry.controls;
  std::vector<std::string> commands = commandsToward(expected_, wanted);
  if (commands.size() > kMaxCommandsPerReply) commands.resize(kMaxCommandsPerReply);
  if (!commands.empty()) {
    expected_ = applyCommands(expected_, commands);
    lastSentMs_ = telemetry.timeMs;
  }
  return commands;
}

}  // namespace rover::client
