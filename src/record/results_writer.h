#pragma once

#include <string>
#include <vector>

#include "driver/game_listener.h"
#include "record/game_info.h"

namespace rover {

// The results file (docs/results.md): one JSON document written when the
// game ends. It is made as a temporary file in the target's folder when the
// game is set up and renamed into place at the end, so the file is never seen
// half-written; a process killed by a signal leaves none.
class ResultsWriter final : public GameListener {
 public:
  // Creates the temporary file; a system error "cannot write PATH: <reason>"
  // (with its errno) when it cannot.
  ResultsWriter(std::string path, const GameInfo& info);
  ~ResultsWriter() override;
  ResultsWriter(const ResultsWriter&) = delete;
  ResultsWriter& operator=(const ResultsWriter&) = delete;

  void runClosed(const RunReport& report) override { runs_.push_back(report); }
  // Writes the document and renames it into place; a system error when that fails.
  void gameEnded(const GameEnding& ending) override;

 private:
  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  GameInfo info_;
  std::vector<RunReport> runs_;
};

}  // namespace rover
