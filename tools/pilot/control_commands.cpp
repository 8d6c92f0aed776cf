#include "control_commands.h"

namespace rover::pilot {

namespace {

int towards(int from, int to) {
  return from < to ? 1 : (from > to ? -1 : 0);
}

}  // namespace

std::vector<std::string> commandsToward(Controls from, Controls to) {
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

void ControlTracker::startRun() {
  expected_ = Controls{};
  lastSentMs_ = -kSettleMs;
}

std::vector<std::string> ControlTracker::steer(const Telemetry& telemetry, Controls wanted) {
  if (telemetry.timeMs >= lastSentMs_ + kSettleMs) expected_ = telemetry.controls;
  std::vector<std::string> commands = commandsToward(expected_, wanted);
  if (!commands.empty()) {
    expected_ = wanted;
    lastSentMs_ = telemetry.timeMs;
  }
  return commands;
}

}  // namespace rover::pilot
