#include "net/lockstep_input.h"

#include <array>

#include "base/failure.h"
#include "net/command_reader.h"
#include "net/command_words.h"

namespace rover {

LockstepOptions LockstepOptions::withTimeoutMillis(std::uint32_t millis) {
  LockstepOptions options;
  if (millis > 0) options.replyTimeout = std::chrono::milliseconds(millis);
  return options;
}

LockstepInput::LockstepInput(Transport& transport, const LockstepOptions& options)
    : transport_(transport), options_(options) {}

LockstepInput::OwedReply& LockstepInput::owed(std::uint64_t number) {
  // owed_ holds replies sent_ - owed_.size() + 1 .. sent_.
  const std::uint64_t first = sent_ - owed_.size() + 1;
  if (number < first || number > sent_) raiseKind(FailureKind::Subscript);
  return owed_[static_cast<std::size_t>(number - first)];
}

void LockstepInput::telemetrySent(const TimeValue& instant) {
  owed_.push_back({instant, false, {}, timing_ != nullptr ? WallClock::now() : WallClock::time_point{}});
  ++sent_;
}

void LockstepInput::awaitOwedReplies() {
  while (resolved_ < sent_) {
    const std::uint64_t number = resolved_ + 1;
    awaitReply(owed(number), number);
    ++resolved_;
  }
}

void LockstepInput::awaitReply(OwedReply& reply, std::uint64_t number) {
  using Clock = std::chrono::steady_clock;
  // The timer starts when the server begins to wait for this reply.
  const Clock::time_point start = Clock::now();
  std::array<char, kReceiveSize> buffer;
  for (;;) {
    std::vector<std::string> commands;
    if (scanner_.scanReply(commands)) {
      if (!lateIncomplete_.empty()) {
        // These bytes finish a reply that was already given up on.
        if (observer_ != nullptr) observer_->replyDiscarded(lateIncomplete_.front());
        lateIncomplete_.pop_front();
        continue;
      }
      reply.commands = std::move(commands);
      reply.resolved = true;
      completed(reply, number);
      return;
    }
    std::optional<std::chrono::nanoseconds> left;
    if (options_.replyTimeout)
      left =
          *options_.replyTimeout - std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start);
    if (!transport_.awaitInput(left)) {
      reply.resolved = true;  // empty
      lateIncomplete_.push_back(number);
      ++late_;
      late(reply, number);
      return;
    }
    const std::optional<std::size_t> received = transport_.receive(buffer.data(), buffer.size());
    if (!received) continue;
    if (*received == 0) {
      throw Failure(FailureKind::Fail, "EOF").because("the controller closed its connection");
    }
    scanner_.append(buffer.data(), *received);
    if (timing_ != nullptr) {
      streamLength_ += *received;
      arrivals_.push_back({streamLength_, WallClock::now()});
    }
  }
}

void LockstepInput::completed(const OwedReply& reply, std::uint64_t number) {
  lateInARow_ = 0;
  if (observer_ != nullptr) observer_->replyCompleted(number);
  if (timing_ == nullptr) return;
  // The receive that brought the reply's bare ";" is the first one that
  // reached past it; the ones before it hold nothing still to be scanned.
  const std::uint64_t replyEnd = streamLength_ - scanner_.unfinished().size();
  while (arrivals_.front().streamEnd < replyEnd) arrivals_.pop_front();
  const WallClock::time_point arrived = arrivals_.front().at;
  const bool ahead = arrived < reply.sentAt;
  timing_->replyTimed({.number = number,
                       .arrival = ahead ? ReplyTiming::Arrival::Ahead : ReplyTiming::Arrival::InTime,
                       .elapsed = ahead ? WallClock::duration::zero() : arrived - reply.sentAt,
                       .unfinished = {}});
}

void LockstepInput::late(const OwedReply& reply, std::uint64_t number) {
  ++lateInARow_;
  if (observer_ != nullptr) observer_->replyLate(number);
  if (timing_ != nullptr) {
    timing_->replyTimed({.number = number,
                         .arrival = ReplyTiming::Arrival::Late,
                         .elapsed = WallClock::now() - reply.sentAt,
                         .unfinished = scanner_.unfinished()});
  }
  if (options_.maxLateInARow == 0 || lateInARow_ < options_.maxLateInARow) return;
  const std::string count = std::to_string(lateInARow_);
  std::string timeout = "reply timeout";
  if (options_.replyTimeout) {
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(*options_.replyTimeout);
    timeout = std::to_string(millis.count()) + " ms " + timeout;
  }
  throw Failure(FailureKind::Fail, count + " late replies in a row")
      .because("none of the last " + count + " replies had its bare ';' within the " + timeout +
               " (--max-late " + count + ")");
}

void LockstepInput::poll(const TimeValue& instant, ControlState& control, std::vector<std::string>& applied) {
  // A reply is never applied at its own "T"'s instant: the poll's place in
  // the instant must not matter.
  while (!owed_.empty() && owed_.front().resolved && owed_.front().instant < instant) {
    for (std::string& command : owed_.front().commands) {
      control = applyCommand(control, parseCommandWord(command));
      applied.push_back(std::move(command));
    }
    owed_.pop_front();
  }
}

void LockstepInput::drain() {
  // Every reply owed was awaited at the end of the previous instant, so the
  // stale ones are exactly the resolved replies no poll has applied.
  int commands = 0;
  while (!owed_.empty()) {
    if (!owed_.front().resolved) raiseFail("a reply was drained before it was awaited");
    commands += static_cast<int>(owed_.front().commands.size());
    owed_.pop_front();
    if (commands >= CommandReader::kDrainBudget) {
      throw Failure(FailureKind::Fail, "excessive input")
          .because("1000 or more commands were waiting at a run start");
    }
  }
}

int LockstepInput::takeLateReplies() {
  const int late = late_;
  late_ = 0;
  return late;
}

}  // namespace rover
