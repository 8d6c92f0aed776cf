#include "replay_transport.h"

#include <algorithm>
#include <cstring>

namespace rover::replay {

ReplayTransport::ReplayTransport(std::vector<RecordedInput> inputs, Failures failures)
    : inputs_(std::move(inputs)), failures_(std::move(failures)) {}

void ReplayTransport::sendAll(const char* data, std::size_t size) {
  // The send that failed was the first one after the last message that got out.
  if (failures_.send && messagesSent_ == failures_.messagesBeforeSend) throw *failures_.send;
  messagesSent_ += static_cast<std::uint64_t>(std::count(data, data + size, ';'));
}

void ReplayTransport::inputReading(InputPhase phase, const Stamp& at) {
  phase_ = phase;
  run_ = at.run;
  runMillis_ = at.runTime.millisText();
}

bool ReplayTransport::nextIsForThisRead() const {
  if (next_ >= inputs_.size()) return false;
  const RecordedInput& input = inputs_[next_];
  // A lockstep wait takes the recorded waits in order; a real-time read
  // takes only what its own read got.
  if (phase_ == InputPhase::Wait) return input.phase == InputPhase::Wait;
  return input.phase == phase_ && input.run == run_ && input.runMillis == runMillis_;
}

void ReplayTransport::runOut() {
  ranOut_ = true;
  throw Failure(FailureKind::Empty, "the record ends here");
}

std::optional<std::size_t> ReplayTransport::receive(char* buffer, std::size_t capacity) {
  if (nextIsForThisRead() && inputs_[next_].kind != RecordedInput::Kind::Late) {
    const RecordedInput& input = inputs_[next_++];
    if (input.kind == RecordedInput::Kind::EndOfStream) return 0;
    if (input.bytes.size() > capacity) raiseFail("a recorded receive is larger than this reader's buffer");
    std::memcpy(buffer, input.bytes.data(), input.bytes.size());
    return input.bytes.size();
  }
  if (next_ >= inputs_.size() && failures_.receive) throw *failures_.receive;
  if (phase_ == InputPhase::Wait) runOut();
  return std::nullopt;  // this read got nothing more
}

bool ReplayTransport::awaitInput(std::optional<std::chrono::nanoseconds>) {
  if (next_ < inputs_.size()) {
    if (inputs_[next_].kind != RecordedInput::Kind::Late) return true;
    ++next_;
    return false;  // the recorded wait timed out here
  }
  if (failures_.receive) return true;  // the receive that failed comes next
  runOut();
}

}  // namespace rover::replay
