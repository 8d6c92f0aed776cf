#pragma once

#include <optional>
#include <string>

#include "base/failure.h"

namespace rover {

// How a game ended, for a record's footer and a results file.
struct GameEnding {
  enum class Status { Completed, Quit, Failed };
  Status status = Status::Completed;
  std::string line;                // failed: the line printed on standard error, without its newline
  std::optional<Failure> failure;  // failed: what was raised
};

}  // namespace rover
