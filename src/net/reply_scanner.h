#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rover {

// Splits a lockstep client's bytes into replies: command words each ended by
// ";", the reply ended by a bare ";" (one that starts the reply or follows
// another ";"). It scans only as far as it is asked to, so a failure is found
// exactly when the reply that holds it is scanned, however the bytes arrived.
class ReplyScanner {
 public:
  // The 1000th command of one reply ends the game: with the length limit a
  // reply then never holds more than about 5 KB, however it is sent.
  static constexpr std::size_t kMaxCommandsPerReply = 1000;

  void append(const char* data, std::size_t size);
  // Scans on from where it stopped. True when a reply is complete, with its
  // command words in `commands`; false when the bytes ran out first (the
  // partial reply is kept). The fifth character of a command fails with
  // "bogus command exceeds max length" as it is scanned, the 1000th command
  // with "excessive input" as its ";" is, whether or not the reply's bare
  // ";" has arrived.
  bool scanReply(std::vector<std::string>& commands);
  // The bytes after the last complete reply: the unfinished one so far.
  std::string_view unfinished() const { return pending_; }

 private:
  std::string pending_;
  std::size_t scanned_ = 0;            // the first byte not yet scanned
  std::size_t commandStart_ = 0;       // where the command being scanned starts
  std::vector<std::string> commands_;  // the reply's words so far
};

}  // namespace rover
