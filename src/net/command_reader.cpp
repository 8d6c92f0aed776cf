#include "net/command_reader.h"

#include <array>

#include "base/failure.h"
#include "net/command_words.h"

namespace rover {

std::string CommandReader::readCommand() {
  for (;;) {
    // Rescan the whole unfinished command each time, so the length limit
    // counts characters that arrived in earlier receives as well.
    std::size_t length = 0;
    for (std::size_t i = start_; i < start_ + count_; ++i) {
      if (pending_[i] == ';') {
        std::string command = pending_.substr(start_, length);
        count_ -= length + 1;
        start_ = i + 1;
        return command;
      }
      if (length >= kMaxCommandLength) raiseOverlongCommand();
      ++length;
    }

    std::array<char, kReceiveSize> buffer;
    const std::optional<std::size_t> received = transport_.receive(buffer.data(), buffer.size());
    if (!received) return "";
    if (*received == 0) {
      throw Failure(FailureKind::Fail, "EOF").because("the controller closed its connection");
    }
    pending_ = pending_.substr(start_, count_);
    pending_.append(buffer.data(), *received);
    start_ = 0;
    count_ = pending_.size();
  }
}

void pollInput(CommandReader& reader, ControlState& control, std::vector<std::string>* applied) {
  for (;;) {
    std::string command = reader.readCommand();
    if (command.empty()) return;
    control = applyCommand(control, parseCommandWord(command));
    if (applied != nullptr) applied->push_back(std::move(command));
  }
}

void drainCommands(CommandReader& reader) {
  int budget = CommandReader::kDrainBudget;
  while (budget != 0) {
    if (reader.readCommand().empty()) return;
    --budget;
  }
  throw Failure(FailureKind::Fail, "excessive input")
      .because("1000 or more commands were waiting at a run start");
}

void raiseOverlongCommand() {
  throw Failure(FailureKind::Fail, "bogus command exceeds max length")
      .because("a command reached 5 characters before its ';' (the longest are two letters, e.g. al;)");
}

}  // namespace rover
