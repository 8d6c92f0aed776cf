#include "lib/instant_messages.h"

namespace rover {

void InstantMessages::messageSent(const Stamp& at, std::string_view text) {
  if (count_ == messages_.size()) messages_.emplace_back();
  SentMessage& message = messages_[count_++];
  message.run = at.run;
  message.text.assign(text);
}

}  // namespace rover
