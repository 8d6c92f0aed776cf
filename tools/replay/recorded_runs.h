#pragma once

#include <string>
#include <vector>

#include "driver/game_listener.h"
#include "record/game_info.h"
#include "record_reader.h"

namespace rover::replay {

// What a record says about its runs and its ending, as a results file has it.
struct RecordedRuns {
  GameInfo info;
  std::vector<RunReport> runs;
  GameEnding ending;
};

// Reads the record to its end, keeping the run_end lines and the footer. A
// record without a footer is a game that did not finish: it reads as
// failed, with no line.
RecordedRuns readRecordedRuns(RecordReader& record);

// One line per run: "run 1: reached home; score = 5940; time = 5940 ms; ...".
std::string summaryText(const RecordedRuns& runs);

}  // namespace rover::replay
