#pragma once

#include <string>
#include <vector>

#include "driver/game_listener.h"
#include "record/document_file.h"
#include "record/game_info.h"

namespace rover {

// The results file (docs/results.md): one JSON document written when the
// game ends, through a DocumentFile (never seen half-written).
class ResultsWriter final : public GameListener {
 public:
  // Creates the temporary file; a system error "cannot write PATH: <reason>"
  // (with its errno) when it cannot.
  ResultsWriter(std::string path, const GameInfo& info);

  void runClosed(const RunReport& report) override { runs_.push_back(report); }
  // Writes the document and renames it into place; a system error when that fails.
  void gameEnded(const GameEnding& ending) override;

 private:
  DocumentFile file_;
  GameInfo info_;
  std::vector<RunReport> runs_;
};

}  // namespace rover
