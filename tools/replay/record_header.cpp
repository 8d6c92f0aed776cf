#include "record_header.h"

#include "base/failure.h"
#include "record/line_reader.h"
#include "record/map_bytes.h"

namespace rover::replay {

RecordHeader readHeader(const RecordFile& record) {
  if (record.lines.empty()) failAtLine(1, "the record is empty (no header line)");
  RecordEntry entry = readRecordLine(record.lines[0], 1);
  HeaderLine* line = std::get_if<HeaderLine>(&entry);
  if (line == nullptr) failAtLine(1, "the first line is not the header");
  RecordHeader header;
  header.info.server = line->server;
  header.info.lockstep = line->mode == PlayMode::Lockstep;
  header.info.seed = line->seed;
  header.info.replyTimeoutMillis = line->replyTimeoutMillis;
  header.info.map.sha256 = line->mapSha256;
  if (!decodeBase64(line->mapBase64, header.info.map.bytes)) failAtLine(1, "\"map_base64\" is not base64");
  if (sha256Hex(header.info.map.bytes) != line->mapSha256)
    failAtLine(1, "the map's bytes do not match \"map_sha256\"");
  header.map = std::move(line->map);
  return header;
}

}  // namespace rover::replay
