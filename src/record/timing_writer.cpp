#include "record/timing_writer.h"

#include <chrono>
#include <vector>

#include "record/line_writer.h"
#include "record/results_document.h"

namespace rover {

TimingWriter::TimingWriter(OutputFile& file, const GameInfo& info) : file_(file), info_(info) {
  info_.map.bytes.clear();  // only the digest is written
}

void TimingWriter::runStarted(const MapSpec&, int number) {
  RunTimings& run = runs_.emplace_back();
  run.number = number;
  run.lockstep = info_.lockstep;
}

void TimingWriter::inputReading(InputPhase phase, const Stamp&) {
  phase_ = phase;
  pollFoundInput_ = false;
  if (phase == InputPhase::Poll && !runs_.empty()) ++runs_.back().polls;
}

void TimingWriter::received(std::string_view bytes, bool) {
  // A poll found input when at least one of its receives brought bytes.
  if (phase_ != InputPhase::Poll || pollFoundInput_ || bytes.empty() || runs_.empty()) return;
  pollFoundInput_ = true;
  ++runs_.back().pollsWithInput;
}

void TimingWriter::commandsApplied(const Stamp&, const std::vector<std::string>& commands) {
  runs_.back().commands += commands.size();
}

void TimingWriter::messageSent(const Stamp& at, std::string_view text) {
  if (info_.lockstep || game_ == nullptr || text.empty() || text.front() != 'T' || runs_.empty()) return;
  // The message has just been handed to the socket; its event was due at
  // the run's start plus its run time.
  const std::optional<std::int64_t> late = (clock_->now() - (game_->runStart() + at.runTime)).nanos64();
  RunTimings& run = runs_.back();
  ++run.telemetry;
  run.telemetryLateness.add(std::chrono::nanoseconds(late.value_or(0)));
}

void TimingWriter::replyTimed(const ReplyTiming& timing) {
  // A reply is awaited at the end of its "T"'s instant, so within that "T"'s run.
  RunTimings& run = runs_.back();
  ++run.replies;
  run.lateReplies += timing.arrival == ReplyTiming::Arrival::Late;
  run.aheadReplies += timing.arrival == ReplyTiming::Arrival::Ahead;
  run.replyTimes.add(timing.elapsed);
}

void TimingWriter::runResult(const RunReport&) {
  runs_.back().ended = true;
}

std::string TimingWriter::document(const GameEnding& ending) {
  std::vector<std::uint64_t> edges(TimingHistogram::kEdgesMicros.begin(),
                                   TimingHistogram::kEdgesMicros.end());
  GameEnding::Status status = ending.status;
  std::string out = gameDocumentHead(info_, "rover-timing");
  FieldWriter document(out, FieldWriter::Spacing::Document, false);
  document(Field{"bucket_edges_us", edges});
  out += ",\n  \"runs\": [";
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    out += i == 0 ? "\n    {" : ",\n    {";
    FieldWriter fields(out, FieldWriter::Spacing::Spaced, true);
    runs_[i].fields(fields);
    out += '}';
  }
  if (!runs_.empty()) out += "\n  ";
  out += ']';
  document(Choice{"status", status, kStatusNames});
  return out + "\n}\n";
}

void TimingWriter::gameEnded(const GameEnding& ending) {
  file_.replaceWith(document(ending));
}

}  // namespace rover
