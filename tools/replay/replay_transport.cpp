#include "replay_transport.h"

#include <algorithm>
#include <cstring>

namespace rover::replay {

void ReplayTransport::sendAll(const char* data, std::size_t size) {
  // The send that failed was the first one after the last message that got out.
  const RecordedFailures& failures = record_.failures();
  if (failures.send && messagesSent_ == failures.messagesBeforeSend) throw *failures.send;
  messagesSent_ += static_cast<std::uint64_t>(std::count(data, data + size, ';'));
}

void ReplayTransport::inputReading(InputPhase phase, const Stamp& at) {
  phase_ = phase;
  run_ = at.run;
  runMillis_ = at.runTime.millisText();
}

bool ReplayTransport::nextIsForThisRead() {
  if (record_.inputs().empty()) return false;
  const RecordedInput& input = record_.inputs().front();
  // A lockstep wait takes the recorded waits in order; a real-time read
  // takes only what its own read got.
  if (phase_ == InputPhase::Wait) return input.phase == InputPhase::Wait;
  return input.phase == phase_ && input.run == run_ && input.runMillis == runMillis_;
}

void ReplayTransport::runOut() {
  ranOut_ = true;
  ranOutAtTheEnd_ = record_.atEnd();
  throw Failure(FailureKind::Empty, "the record ends here");
}

std::optional<std::size_t> ReplayTransport::receive(char* buffer, std::size_t capacity) {
  std::deque<RecordedInput>& inputs = record_.inputs();
  if (nextIsForThisRead() && inputs.front().kind != RecordedInput::Kind::Late) {
    const RecordedInput input = std::move(inputs.front());
    inputs.pop_front();
    if (input.kind == RecordedInput::Kind::EndOfStream) return 0;
    if (input.bytes.size() > capacity) raiseFail("a recorded receive is larger than this reader's buffer");
    std::memcpy(buffer, input.bytes.data(), input.bytes.size());
    return input.bytes.size();
  }
  // The footer, and with it the failure, is read with the last run's inputs.
  if (inputs.empty() && record_.failures().receive) throw *record_.failures().receive;
  if (phase_ == InputPhase::Wait) runOut();
  return std::nullopt;  // this read got nothing more
}

bool ReplayTransport::awaitInput(std::optional<std::chrono::nanoseconds>) {
  std::deque<RecordedInput>& inputs = record_.inputs();
  if (!inputs.empty()) {
    if (inputs.front().kind != RecordedInput::Kind::Late) return true;
    inputs.pop_front();
    return false;  // the recorded wait timed out here
  }
  if (record_.failures().receive) return true;  // the receive that failed comes next
  runOut();
}

}  // namespace rover::replay
