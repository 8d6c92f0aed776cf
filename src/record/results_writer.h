#pragma once

#include <vector>

#include "base/output_files.h"
#include "driver/game_listener.h"
#include "record/game_info.h"

namespace rover {

// The results file (docs/results.md): one JSON document written when the
// game ends, through an output file of kind Whole (base/output_files.h): a
// temporary in the target's folder renamed into place, so the file is never
// seen half-written and a process killed by a signal leaves none.
class ResultsWriter final : public GameListener {
 public:
  ResultsWriter(OutputFile& file, const GameInfo& info);

  void runClosed(const RunReport& report) override { runs_.push_back(report); }
  // Writes the document and renames it into place; a system error "cannot
  // write PATH: <reason>" when that fails, and no temporary is left.
  void gameEnded(const GameEnding& ending) override;

 private:
  OutputFile& file_;
  GameInfo info_;
  std::vector<RunReport> runs_;
};

}  // namespace rover
