#include "net/realtime_input.h"

namespace rover {

void RealtimeInput::drain() {
  drainCommands(reader_);
}

void RealtimeInput::poll(const TimeValue&, ControlState& control, std::vector<std::string>& applied) {
  pollInput(reader_, control, &applied);
}

}  // namespace rover
