#include "net/reply_scanner.h"

#include <utility>

#include "base/failure.h"
#include "net/command_reader.h"

namespace rover {

void ReplyScanner::append(const char* data, std::size_t size) {
  pending_.append(data, size);
}

bool ReplyScanner::scanReply(std::vector<std::string>& commands) {
  while (scanned_ < pending_.size()) {
    const std::size_t length = scanned_ - commandStart_;
    if (pending_[scanned_] != ';') {
      if (length >= CommandReader::kMaxCommandLength) raiseOverlongCommand();
      ++scanned_;
      continue;
    }
    ++scanned_;
    if (length > 0) {
      if (commands_.size() + 1 >= kMaxCommandsPerReply) {
        throw Failure(FailureKind::Fail, "excessive input")
            .because("the 1000th command of one reply (a reply holds at most 999)");
      }
      commands_.push_back(pending_.substr(commandStart_, length));
      commandStart_ = scanned_;
      continue;
    }
    // A bare ";": the reply is complete. What is scanned is dropped, so
    // the buffer holds only bytes of replies still to come.
    commands = std::move(commands_);
    commands_.clear();
    pending_.erase(0, scanned_);
    scanned_ = 0;
    commandStart_ = 0;
    return true;
  }
  return false;
}

}  // namespace rover
