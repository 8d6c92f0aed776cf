#include "record_header.h"

#include "record/map_bytes.h"
#include "record_line.h"

namespace rover::replay {

RecordHeader readHeader(const RecordFile& record) {
  if (record.lines.empty()) {
    throw Failure(FailureKind::Fail).at({1, 0}).because("the record is empty (no header line)");
  }
  const RecordLine line(record.lines[0], 1);
  if (line.type() != "header") line.fail("the first line is not the header");
  if (line.string("format") != "rover-record")
    line.fail("not a game record (format \"" + line.string("format") + "\")");
  const mpz_class version = line.integer("version");
  if (version != 1) {
    line.fail("record format version " + version.get_str() +
              " is not supported (this program reads version 1)");
  }
  RecordHeader header;
  header.server = line.string("server");
  const std::string mode = line.string("mode");
  if (mode != "lockstep" && mode != "realtime") line.fail("unknown mode \"" + mode + "\"");
  header.lockstep = mode == "lockstep";
  const mpz_class seed = line.integer("seed");
  if (seed < 0 || mpz_sizeinbase(seed.get_mpz_t(), 2) > 64) line.fail("\"seed\" is out of range");
  header.seed = std::stoull(seed.get_str());
  if (!line.isNull("reply_timeout_ms")) {
    header.replyTimeoutMillis = static_cast<std::uint32_t>(line.smallInteger("reply_timeout_ms"));
  }
  header.mapSha256 = line.string("map_sha256");
  if (!decodeBase64(line.string("map_base64"), header.mapBytes)) line.fail("\"map_base64\" is not base64");
  if (sha256Hex(header.mapBytes) != header.mapSha256)
    line.fail("the map's bytes do not match \"map_sha256\"");
  return header;
}

}  // namespace rover::replay
