#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "driver/game_listener.h"
#include "net/transport.h"
#include "run_window.h"

namespace rover::replay {

// The client's side of a replayed game: each read is fed exactly what the
// recorded read got, a lockstep wait times out where the recorded one did,
// and a recorded receive or send failure happens again where it happened.
// The inputs come from the run window, which holds those of the run being
// replayed. Sent bytes go nowhere: the record writer checks the messages.
class ReplayTransport final : public Transport, public GameListener {
 public:
  explicit ReplayTransport(RunWindow& record) : record_(record) {}

  void sendAll(const char* data, std::size_t size) override;
  std::optional<std::size_t> receive(char* buffer, std::size_t capacity) override;
  bool awaitInput(std::optional<std::chrono::nanoseconds> timeout) override;
  void inputReading(InputPhase phase, const Stamp& at) override;

  // True once the replay asked for input the record does not hold.
  bool ranOut() const { return ranOut_; }
  // ... and the record had been read to its end then: it may have been cut
  // there. Otherwise the record goes on, and the replay differs.
  bool ranOutAtTheEnd() const { return ranOutAtTheEnd_; }

 private:
  bool nextIsForThisRead();
  [[noreturn]] void runOut();

  RunWindow& record_;
  std::uint64_t messagesSent_ = 0;
  InputPhase phase_ = InputPhase::Poll;
  int run_ = 0;
  std::string runMillis_ = "0";
  bool ranOut_ = false;
  bool ranOutAtTheEnd_ = false;
};

}  // namespace rover::replay
