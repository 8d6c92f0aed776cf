#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "driver/game_listener.h"

namespace rover {

// One message the game sent, with the run it was sent in.
struct SentMessage {
  int run = 0;
  std::string text;  // through its ";"
};

// Hears the messages of one instant of the game, in the order they were
// sent, for the caller to be shown one by one. Cleared at every instant;
// the strings keep their storage, so a step allocates nothing for them.
class InstantMessages final : public GameListener {
 public:
  void messageSent(const Stamp& at, std::string_view text) override;

  bool pending() const { return next_ < count_; }
  // The oldest message not shown yet; the caller may take its text's storage.
  SentMessage& take() { return messages_[next_++]; }
  // A new instant begins: every message has been shown.
  void clear() { count_ = next_ = 0; }

 private:
  std::vector<SentMessage> messages_;
  std::size_t count_ = 0;
  std::size_t next_ = 0;
};

}  // namespace rover
