#include "recorded_runs.h"

#include "record_header.h"
#include "record_line.h"

namespace rover::replay {

namespace {

Outcome outcomeOf(const RecordLine& line) {
  const mpz_class code = line.integer("code");
  if (code < 0 || code > 3) line.fail("\"code\" must be 0 to 3");
  const auto outcome = static_cast<Outcome>(code.get_si());
  if (line.string("outcome") != outcomeText(outcome)) line.fail("\"outcome\" does not match \"code\"");
  return outcome;
}

int count(const RecordLine& line, const rapidjson::Value& value, const char* what) {
  const mpz_class n = line.integerOf(value, what);
  if (n < 0 || !n.fits_sint_p()) line.fail(std::string("\"") + what + "\" is out of range");
  return static_cast<int>(n.get_si());
}

}  // namespace

RecordedRuns readRecordedRuns(const RecordFile& record) {
  const RecordHeader header = readHeader(record);
  RecordedRuns result;
  result.info.server = header.server;
  result.info.lockstep = header.lockstep;
  result.info.seed = header.seed;
  result.info.replyTimeoutMillis = header.replyTimeoutMillis;
  result.info.map.sha256 = header.mapSha256;
  result.ending.status = GameEnding::Status::Failed;
  result.ending.failure =
      Failure(FailureKind::Fail, "the record ends without a footer: the game did not finish");
  for (std::size_t i = 1; i < record.lines.size(); ++i) {
    const RecordLine line(record.lines[i], i + 1);
    if (line.type() == "run_end") {
      RunReport run;
      run.number = static_cast<int>(line.smallInteger("run"));
      if (run.number != static_cast<int>(result.runs.size()) + 1) line.fail("runs out of order");
      run.outcome = outcomeOf(line);
      run.scoreMillis = line.integer("score");
      run.runMillis = line.integer("run_ms");
      const rapidjson::Value& bounces = line.value("bounces");
      if (!bounces.IsObject() || !bounces.HasMember("boulder") || !bounces.HasMember("wall")) {
        line.fail("\"bounces\" needs \"boulder\" and \"wall\"");
      }
      run.boulderBounces = count(line, bounces["boulder"], "boulder");
      run.wallBounces = count(line, bounces["wall"], "wall");
      run.commands = count(line, line.value("commands"), "commands");
      run.lateReplies = count(line, line.value("late_replies"), "late_replies");
      run.resultLine = "Round " + std::to_string(run.number) + ": " + outcomeText(run.outcome) +
                       "; score = " + run.scoreMillis.get_str();
      result.runs.push_back(run);
    } else if (line.type() == "footer") {
      const std::string status = line.string("status");
      result.ending.failure.reset();
      if (status == "completed") {
        result.ending.status = GameEnding::Status::Completed;
      } else if (status == "quit") {
        result.ending.status = GameEnding::Status::Quit;
      } else if (status == "failed") {
        result.ending.status = GameEnding::Status::Failed;
        result.ending.line = line.string("line");
        std::optional<std::string> message;
        if (!line.isNull("message")) message = line.string("message");
        result.ending.failure = Failure(FailureKind::Fail, message);
      } else {
        line.fail("unknown status \"" + status + "\"");
      }
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
  out += std::string("game: ") + statusName(runs.ending.status);
  if (runs.ending.status == GameEnding::Status::Failed && runs.ending.failure &&
      runs.ending.failure->message()) {
    out += " (" + *runs.ending.failure->message() + ")";
  }
  return out + "\n";
}

}  // namespace rover::replay
