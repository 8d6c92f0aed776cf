#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/transport.h"
#include "sim/motion.h"

namespace rover {

// Turns the client's byte stream into ";"-terminated commands without ever
// blocking. Unfinished commands stay pending across polls and runs.
class CommandReader {
 public:
  static constexpr std::size_t kReceiveSize = 1024;
  static constexpr std::size_t kMaxCommandLength = 4;
  static constexpr int kDrainBudget = 1000;

  explicit CommandReader(Transport& transport) : transport_(transport) {}

  // The next complete command without its ";", or "" when none is complete
  // now (or the command is a bare ";"). Fails with "bogus command exceeds max
  // length" or "EOF"; receive errors are system errors.
  std::string readCommand();

 private:
  Transport& transport_;
  std::string pending_;
  std::size_t start_ = 0;
  std::size_t count_ = 0;
};

// One input poll: applies every complete command in arrival order until
// readCommand gives ""; appends each applied word to `applied` when given.
void pollInput(CommandReader& reader, ControlState& control, std::vector<std::string>* applied = nullptr);

// Discards stale commands before a run starts; the 1000th fails with "excessive input".
void drainCommands(CommandReader& reader);

// The failure of a command's fifth character: "bogus command exceeds max length".
[[noreturn]] void raiseOverlongCommand();

}  // namespace rover
