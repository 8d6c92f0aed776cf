#pragma once

#include <cstdio>

#include "driver/announcer.h"

namespace rover {

// Text mode's announcement: "starting round\n", flushed at once.
class TextAnnouncer final : public RoundAnnouncer {
 public:
  explicit TextAnnouncer(std::FILE* out = stdout) : out_(out) {}
  void announceRound(const MapSpec& map) override;

 private:
  std::FILE* out_;
};

}  // namespace rover
