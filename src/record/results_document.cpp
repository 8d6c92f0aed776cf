#include "record/results_document.h"

#include "record/json_text.h"
#include "record/line_writer.h"

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
    out += '{';
    FieldWriter fields(out, FieldWriter::Spacing::Spaced, true);
    fields.field("number", run.number);
    runResultFields(fields, run);
    out += '}';
  }
  out += runs.empty() ? "],\n  \"status\": \"" : "\n  ],\n  \"status\": \"";
  out += kStatusNames[static_cast<std::size_t>(ending.status)];
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
