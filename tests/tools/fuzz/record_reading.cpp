#include "record_reading.h"

#include "base/failure.h"
#include "record/results_document.h"
#include "record_file.h"
#include "recorded_runs.h"
#include "run_picture.h"
#include "verify.h"

namespace rover::replay {

void readEveryWay(const std::string& bytes) {
  RecordFile record;
  try {
    record = recordFromBytes(bytes, "input");
  } catch (const Failure&) {
    return;
  }
  try {
    const RecordedRuns runs = readRecordedRuns(record);
    summaryText(runs);
    resultsDocument(runs.info, runs.runs, runs.ending);
  } catch (const Failure&) {
  }
  for (int run : {1, 2}) {
    try {
      drawRun(record, run, std::nullopt);
      drawRun(record, run, 500);
    } catch (const Failure&) {
    }
  }
  try {
    verifyRecord(record);
  } catch (const Failure&) {
  }
}

}  // namespace rover::replay
