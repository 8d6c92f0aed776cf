#include "record/results_document.h"

#include "record/line_writer.h"

namespace rover {

std::string gameDocumentHead(const GameInfo& info, const std::string& format) {
  const int version = 1;
  const PlayMode mode = info.lockstep ? PlayMode::Lockstep : PlayMode::RealTime;
  std::string out = "{";
  FieldWriter document(out, FieldWriter::Spacing::Document, true);
  document(Field{"format", format}, Field{"version", version}, Field{"server", info.server},
           Object{"map", Field{"sha256", info.map.sha256}}, Choice{"mode", mode, kModeNames},
           Field{"seed", info.seed}, Field{"reply_timeout_ms", info.replyTimeoutMillis});
  return out;
}

std::string resultsDocument(const GameInfo& info, const std::vector<RunReport>& runs,
                            const GameEnding& ending) {
  std::string out = gameDocumentHead(info, "rover-results");
  FieldWriter document(out, FieldWriter::Spacing::Document, false);
  out += ",\n  \"runs\": [";
  mpz_class total = 0;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    RunReport run = runs[i];
    total += run.scoreMillis;
    out += i == 0 ? "\n    {" : ",\n    {";
    FieldWriter fields(out, FieldWriter::Spacing::Spaced, true);
    fields(Field{"number", run.number});
    runResultFields(fields, run);
    out += '}';
  }
  if (!runs.empty()) out += "\n  ";
  out += ']';
  document(Choice{"status", ending.status, kStatusNames});
  if (ending.status == GameEnding::Status::Failed) {
    // A game that was killed printed no line.
    const std::optional<std::string> line = ending.line.empty() ? std::nullopt : std::optional(ending.line);
    const std::optional<std::string> message = ending.failure ? ending.failure->message() : std::nullopt;
    document(Field{"line", line}, Field{"message", message});
  }
  document(Field{"total_score", total});
  return out + "\n}\n";
}

}  // namespace rover
