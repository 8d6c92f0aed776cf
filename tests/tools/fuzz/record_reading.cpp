#include "record_reading.h"

#include <functional>

#include "base/failure.h"
#include "record/results_document.h"
#include "record_reader.h"
#include "recorded_runs.h"
#include "run_picture.h"
#include "verify.h"

namespace rover::replay {

namespace {

// Low enough that short inputs reach both limits (gzip inflates them).
constexpr ReadLimits kLimits{.maxLineBytes = 64 << 10, .maxBytes = 1 << 20};

// One command of replay over a fresh reading of the bytes.
void readWith(const std::string& bytes, const std::function<void(RecordReader&)>& command) {
  try {
    RecordStream stream(RecordStream::InMemory{bytes}, kLimits);
    RecordReader record(stream);
    command(record);
  } catch (const Failure&) {
  }
}

}  // namespace

void readEveryWay(const std::string& bytes) {
  readWith(bytes, [](RecordReader& record) {
    const RecordedRuns runs = readRecordedRuns(record);
    summaryText(runs);
    resultsDocument(runs.info, runs.runs, runs.ending);
  });
  for (int run : {1, 2}) {
    readWith(bytes, [run](RecordReader& record) { drawRun(record, run, std::nullopt); });
    readWith(bytes, [run](RecordReader& record) { drawRun(record, run, 500); });
  }
  readWith(bytes, [](RecordReader& record) { verifyRecord(record); });
}

}  // namespace rover::replay
