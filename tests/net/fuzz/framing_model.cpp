#include "framing_model.h"

#include <algorithm>

namespace rover::fuzzing {

FramingModel::Failed FramingModel::read(std::string& command) {
  command.clear();
  const std::size_t end = std::min(stream_.find(';', next_), stream_.size());
  // Four characters at most: the fifth fails whether or not a ";" follows.
  if (end - next_ > 4) return "bogus command exceeds max length";
  if (end == stream_.size()) {
    if (closed_) return "EOF";
    return std::nullopt;  // wait for the rest; nothing is consumed
  }
  command = stream_.substr(next_, end - next_);
  next_ = end + 1;
  return std::nullopt;
}

FramingModel::Failed FramingModel::poll(Control& control, std::vector<std::string>& applied) {
  static const std::vector<std::string> kWords = {"a", "b", "l", "r", "al", "ar", "bl", "br"};
  for (;;) {
    std::string command;
    if (Failed failed = read(command)) return failed;
    if (command.empty()) return std::nullopt;
    if (std::find(kWords.begin(), kWords.end(), command) == kWords.end()) {
      return "illegal command \"" + command + "\"";
    }
    // One notch per letter, saturating at the ends of each range.
    for (char letter : command) {
      if (letter == 'a') control.accel = std::min(control.accel + 1, 1);
      if (letter == 'b') control.accel = std::max(control.accel - 1, -1);
      if (letter == 'l') control.turn = std::min(control.turn + 1, 2);
      if (letter == 'r') control.turn = std::max(control.turn - 1, -2);
    }
    applied.push_back(command);
  }
}

FramingModel::Failed FramingModel::drain() {
  for (int discarded = 1;; ++discarded) {
    std::string command;
    if (Failed failed = read(command)) return failed;
    if (command.empty()) return std::nullopt;
    if (discarded == 1000) return "excessive input";
  }
}

}  // namespace rover::fuzzing
