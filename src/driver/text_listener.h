#pragma once

#include <cstdio>

#include "driver/game_listener.h"

namespace rover {

// The lines on standard output: the result line of every run, before its
// "E" goes out, and "starting round" at every run start unless the window
// shows the runs instead; each flushed at once.
class TextListener final : public GameListener {
 public:
  enum class RunStarts { Announced, Silent };
  explicit TextListener(std::FILE* out, RunStarts starts = RunStarts::Announced)
      : out_(out), starts_(starts) {}
  void runStarted(const MapSpec&, int) override {
    if (starts_ == RunStarts::Announced) print("starting round");
  }
  void runResult(const RunReport& report) override { print(report.resultLine.c_str()); }

 private:
  void print(const char* line) {
    std::fputs(line, out_);
    std::fputc('\n', out_);
    std::fflush(out_);
  }

  std::FILE* out_;
  RunStarts starts_;
};

}  // namespace rover
