#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace rover {

// How one lockstep reply went by the wall clock (the timing file, --verbose).
struct ReplyTiming {
  enum class Arrival {
    InTime,  // its bare ";" arrived after its "T" left, within the timeout
    Ahead,   // its bare ";" had arrived before its "T" left: the client is out of step
    Late,    // the timeout ran out first; the reply counts as empty
  };
  std::uint64_t number = 0;  // reply k answers the game's k-th "T"
  Arrival arrival = Arrival::InTime;
  // From the moment its "T" was sent to the receive that brought its bare
  // ";" (0 when Ahead), or, when Late, to the moment the server gave up.
  // It includes the server's own work for the rest of the "T"'s instant.
  std::chrono::nanoseconds elapsed{0};
  // Late only: the bytes received since the last complete reply.
  std::string_view unfinished;
};

// Hears the wall-clock time of every lockstep reply as it resolves.
class ReplyTimingObserver {
 public:
  virtual ~ReplyTimingObserver() = default;
  virtual void replyTimed(const ReplyTiming& timing) = 0;
};

}  // namespace rover
