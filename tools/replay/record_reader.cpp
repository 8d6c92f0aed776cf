#include "record_reader.h"

#include <algorithm>

#include "base/failure.h"
#include "record/line_reader.h"
#include "record/map_bytes.h"

namespace rover::replay {

RecordReader::RecordReader(RecordStream& stream) : stream_(stream) {
  if (!stream_.next(text_)) failAtLine(1, "the record is empty (no header line)");
  entry_ = readRecordLine(text_, 1);
  HeaderLine* line = std::get_if<HeaderLine>(&entry_);
  if (line == nullptr) failAtLine(1, "the first line is not the header");
  header_.info.server = line->server;
  header_.info.lockstep = line->mode == PlayMode::Lockstep;
  header_.info.seed = line->seed;
  header_.info.replyTimeoutMillis = line->replyTimeoutMillis;
  header_.info.map.sha256 = line->mapSha256;
  if (!decodeBase64(line->mapBase64, header_.info.map.bytes)) failAtLine(1, "\"map_base64\" is not base64");
  if (sha256Hex(header_.info.map.bytes) != line->mapSha256)
    failAtLine(1, "the map's bytes do not match \"map_sha256\"");
  for (const MapObjectEntry& object : line->map.objects) {
    if (object.kind != "home" && object.kind != "crater" && object.kind != "boulder")
      failAtLine(1, "unknown object \"kind\"");
  }
  header_.map = std::move(line->map);
  entry_ = RunStartLine{};
}

bool RecordReader::next() {
  if (!stream_.next(text_)) return false;
  if (footer_) failAtLine(number(), "a line after the footer");
  entry_ = readRecordLine(text_, number());
  check();
  return true;
}

void RecordReader::check() {
  const int runs = static_cast<int>(header_.map.runs.size());
  const auto inMap = [&](int run) {
    if (run < 0 || run > runs) {
      failAtLine(number(), "run " + std::to_string(run) + " is not in the map (it has " +
                               std::to_string(runs) + (runs == 1 ? " run)" : " runs)"));
    }
  };
  std::visit(
      [&](const auto& line) {
        using Line = std::decay_t<decltype(line)>;
        if constexpr (requires { line.at.run; }) inMap(line.at.run);
        if constexpr (std::is_same_v<Line, HeaderLine>) {
          failAtLine(number(), "a second header");
        } else if constexpr (std::is_same_v<Line, RecvLine>) {
          if (!line.eof && !line.bytes) failAtLine(number(), "a \"recv\" line needs \"bytes\" or \"eof\"");
        } else if constexpr (std::is_same_v<Line, RunEndLine>) {
          inMap(line.run.number);
          if (line.run.number != ++runsEnded_) failAtLine(number(), "runs out of order");
        } else if constexpr (std::is_same_v<Line, FooterLine>) {
          if (line.status == GameEnding::Status::Failed && (!line.line || !line.message))
            failAtLine(number(), "a failed game's footer needs \"line\" and \"message\"");
          if (line.failure && !kindFromName(line.failure->kind)) failAtLine(number(), "unknown failure kind");
          footer_ = line;
        }
      },
      entry_);
}

}  // namespace rover::replay
