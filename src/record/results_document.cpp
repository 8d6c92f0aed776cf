#include "record/results_document.h"

#include "record/json_text.h"

namespace rover {

std::string resultsDocument(const GameInfo& info, const std::vector<RunReport>& runs,
                            const GameEnding& ending) {
  std::string out = "{\n  \"format\": \"rover-results\",\n  \"version\": 1,\n  \"server\": ";
  appendJsonString(out, info.server);
  out += ",\n  \"map\": {\"sha256\": \"" + info.map.sha256 + "\"},\n  \"mode\": \"";
  out += info.lockstep ? "lockstep" : "realtime";
  out += "\",\n  \"seed\": " + std::to_string(info.seed) + ",\n  \"reply_timeout_ms\": ";
  out += info.replyTimeoutMillis ? std::to_string(*info.replyTimeoutMillis) : "null";
  out += ",\n  \"runs\": [";
  mpz_class total = 0;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const RunReport& run = runs[i];
    total += run.scoreMillis;
    out += i > 0 ? ",\n    " : "\n    ";
    out += "{\"number\": " + std::to_string(run.number) + ", \"outcome\": \"" + outcomeText(run.outcome) +
           "\", \"code\": " + std::to_string(static_cast<int>(run.outcome)) + ", \"score\": ";
    appendJsonInteger(out, run.scoreMillis);
    out += ", \"run_ms\": ";
    appendJsonInteger(out, run.runMillis);
    out += ", \"bounces\": {\"boulder\": " + std::to_string(run.boulderBounces) +
           ", \"wall\": " + std::to_string(run.wallBounces) +
           "}, \"commands\": " + std::to_string(run.commands) +
           ", \"late_replies\": " + std::to_string(run.lateReplies) + "}";
  }
  out += runs.empty() ? "],\n  \"status\": \"" : "\n  ],\n  \"status\": \"";
  out += statusName(ending.status);
  out += '"';
  if (ending.status == GameEnding::Status::Failed) {
    out += ",\n  \"line\": ";
    if (ending.line.empty()) {
      out += "null";  // a game that was killed printed nothing
    } else {
      appendJsonString(out, ending.line);
    }
    out += ",\n  \"message\": ";
    if (ending.failure && ending.failure->message()) {
      appendJsonString(out, *ending.failure->message());
    } else {
      out += "null";
    }
  }
  out += ",\n  \"total_score\": ";
  appendJsonInteger(out, total);
  out += "\n}\n";
  return out;
}

}  // namespace rover
