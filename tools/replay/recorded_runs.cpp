#include "recorded_runs.h"

#include "driver/game.h"

namespace rover::replay {

RecordedRuns readRecordedRuns(RecordReader& record) {
  RecordedRuns result;
  result.info = record.header().info;
  result.info.map.bytes.clear();  // only the digest is needed
  result.ending.status = GameEnding::Status::Failed;
  result.ending.failure = Failure(FailureKind::Fail, kNoFooter);
  while (record.next()) {
    if (const auto* end = std::get_if<RunEndLine>(&record.entry())) {
      RunReport& run = result.runs.emplace_back(end->run);
      run.resultLine = resultLine(run);
    }
  }
  if (const std::optional<FooterLine>& footer = record.footer()) {
    result.ending = {footer->status, footer->line.value_or(""), std::nullopt};
    if (footer->status == GameEnding::Status::Failed)
      result.ending.failure = Failure(FailureKind::Fail, *footer->message);
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
