#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "driver/game_listener.h"
#include "net/transport.h"

namespace rover::replay {

// One recorded input event: the bytes or the end of stream one receive got,
// or a lockstep reply given up on.
struct RecordedInput {
  enum class Kind { Bytes, EndOfStream, Late };
  Kind kind = Kind::Bytes;
  InputPhase phase = InputPhase::Poll;
  int run = 0;
  std::string runMillis;  // the read's stamp
  std::string bytes;
};

// The client's side of a replayed game: each read is fed exactly what the
// recorded read got, a lockstep wait times out where the recorded one did,
// and a recorded receive or send failure happens again where it happened.
// Sent bytes go nowhere: the record writer checks the messages.
class ReplayTransport final : public Transport, public GameListener {
 public:
  struct Failures {
    std::optional<Failure> receive;  // the game died in a receive
    std::optional<Failure> send;     // the game died sending
    std::uint64_t messagesBeforeSend = 0;
  };
  ReplayTransport(std::vector<RecordedInput> inputs, Failures failures);

  void sendAll(const char* data, std::size_t size) override;
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override;
  void inputReading(InputPhase phase, const Stamp& at) override;

  // True once the replay asked for input the record does not hold.
  bool ranOut() const { return ranOut_; }

 private:
  bool nextIsForThisRead() const;
  [[noreturn]] void runOut();

  std::vector<RecordedInput> inputs_;
  std::size_t next_ = 0;
  Failures failures_;
  std::uint64_t messagesSent_ = 0;
  InputPhase phase_ = InputPhase::Poll;
  int run_ = 0;
  std::string runMillis_ = "0";
  bool ranOut_ = false;
};

}  // namespace rover::replay
