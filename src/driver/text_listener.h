#pragma once

#include <cstdio>

#include "driver/game_listener.h"

namespace rover {

// The lines on standard output: the result line at every run end and, in
// text mode, "starting round" at every run start; each flushed at once.
class TextListener final : public GameListener {
 public:
  explicit TextListener(std::FILE* out = stdout, bool announceStarts = true)
      : out_(out), announceStarts_(announceStarts) {}
  void runStarted(const MapSpec& map, int number) override;
  void runEnded(const RunReport& report) override;

 private:
  std::FILE* out_;
  bool announceStarts_;
};

}  // namespace rover
