#include "recorded_runs.h"

#include "driver/game.h"
#include "record/line_reader.h"
#include "record_file.h"

namespace rover::replay {

RecordedRuns readRecordedRuns(const RecordFile& record) {
  RecordedRuns result;
  result.info = readHeader(record).info;
  result.info.map.bytes.clear();  // only the digest is needed
  result.ending.status = GameEnding::Status::Failed;
  result.ending.failure =
      Failure(FailureKind::Fail, "the record ends without a footer: the game did not finish");
  for (std::size_t i = 1; i < record.lines.size(); ++i) {
    RecordEntry entry = readRecordLine(record.lines[i], i + 1);
    if (auto* end = std::get_if<RunEndLine>(&entry)) {
      RunReport& run = result.runs.emplace_back(std::move(end->run));
      if (run.number != static_cast<int>(result.runs.size())) failAtLine(i + 1, "runs out of order");
      run.resultLine = resultLine(run);
    } else if (const auto* footer = std::get_if<FooterLine>(&entry)) {
      result.ending = {footer->status, footer->line.value_or(""), std::nullopt};
      if (footer->status != GameEnding::Status::Failed) continue;
      if (!footer->line || !footer->message)
        failAtLine(i + 1, "a failed game's footer needs \"line\" and \"message\"");
      result.ending.failure = Failure(FailureKind::Fail, *footer->message);
    }
  }
  return result;
}

std::string summaryText(const RecordedRuns& runs) {
  std::string out;
  for (const RunReport& run : runs.runs) {
    out += "run " + std::to_string(run.number) + ": " + outcomeText(run.outcome) +
           "; score = " + run.scoreMillis.get_str() + "; time = " + run.runMillis.get_str() +
           " ms; bounces = " + std::to_string(run.boulderBounces) + " boulder, " +
           std::to_string(run.wallBounces) + " wall; commands = " + std::to_string(run.commands) +
           "; late replies = " + std::to_string(run.lateReplies) + "\n";
  }
  out += std::string("game: ") + kStatusNames[static_cast<std::size_t>(runs.ending.status)];
  if (runs.ending.status == GameEnding::Status::Failed && runs.ending.failure &&
      runs.ending.failure->message()) {
    out += " (" + *runs.ending.failure->message() + ")";
  }
  return out + "\n";
}

}  // namespace rover::replay
