#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "net/client_input.h"
#include "net/reply_scanner.h"
#include "net/reply_timing.h"
#include "net/transport.h"

namespace rover {

// Hears how the lockstep replies resolve (game records).
class ReplyObserver {
 public:
  virtual ~ReplyObserver() = default;
  virtual void replyCompleted(std::uint64_t number) = 0;
  virtual void replyLate(std::uint64_t number) = 0;
  virtual void replyDiscarded(std::uint64_t number) = 0;
};

// How a lockstep game treats its replies.
struct LockstepOptions {
  // How long to wait for each reply; none waits for ever.
  std::optional<std::chrono::nanoseconds> replyTimeout;
  // This many late replies in a row end the game with a failure; 0 never does.
  std::uint32_t maxLateInARow = 0;

  // The command line's form: whole milliseconds, 0 for no timeout.
  static LockstepOptions withTimeoutMillis(std::uint32_t millis);
};

// Lockstep: the client answers the k-th "T" message of the game with reply
// k. At the end of every instant the server waits until it holds one reply
// per "T" sent, reading the socket only then; an input poll at instant p
// applies, in order, the commands of every reply to a "T" sent before p that
// no poll has applied yet. A reply that misses its timeout counts as empty
// and late; its bytes, when they complete, are discarded.
class LockstepInput final : public ClientInput {
 public:
  static constexpr std::size_t kReceiveSize = 4096;

  LockstepInput(Transport& transport, const LockstepOptions& options);
  void setObserver(ReplyObserver* observer) { observer_ = observer; }
  // Times every reply by the wall clock from now on; without an observer
  // the clock is not read for it.
  void setTimingObserver(ReplyTimingObserver* observer) { timing_ = observer; }

  void drain() override;
  void poll(const TimeValue& instant, ControlState& control, std::vector<std::string>& applied) override;
  void telemetrySent(const TimeValue& instant) override;
  void awaitOwedReplies() override;
  int takeLateReplies() override;

 private:
  using WallClock = std::chrono::steady_clock;

  struct OwedReply {
    TimeValue instant;  // when its "T" went out
    bool resolved = false;
    std::vector<std::string> commands;  // empty for a late reply
    WallClock::time_point sentAt{};     // timed games only
  };

  // A receive of a timed game: the stream's length after it, and when.
  struct Arrival {
    std::uint64_t streamEnd;
    WallClock::time_point at;
  };

  // Waits for reply `number` (the oldest unresolved one) until it completes
  // or its timeout runs out.
  void awaitReply(OwedReply& reply, std::uint64_t number);
  OwedReply& owed(std::uint64_t number);
  void completed(const OwedReply& reply, std::uint64_t number);
  void late(const OwedReply& reply, std::uint64_t number);

  Transport& transport_;
  LockstepOptions options_;
  ReplyObserver* observer_ = nullptr;
  ReplyScanner scanner_;
  std::deque<OwedReply> owed_;                // replies not yet applied or drained, oldest first
  std::uint64_t sent_ = 0;                    // "T" messages sent so far
  std::uint64_t resolved_ = 0;                // replies complete or given up on, in order
  std::deque<std::uint64_t> lateIncomplete_;  // late replies whose bytes are still to come
  int late_ = 0;
  std::uint32_t lateInARow_ = 0;

  ReplyTimingObserver* timing_ = nullptr;
  std::uint64_t streamLength_ = 0;  // bytes received so far
  std::deque<Arrival> arrivals_;    // receives whose bytes are not all scanned
};

}  // namespace rover
