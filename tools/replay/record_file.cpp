#include "record_file.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "record/line_reader.h"
#include "record/map_bytes.h"

namespace rover::replay {

namespace {

// Inflates every gzip member; a stream that stops without its trailer is
// accepted as far as it goes (a game that died mid-run leaves one).
std::string inflateAll(const std::string& packed, bool& cutShort) {
  z_stream zip{};
  if (inflateInit2(&zip, 15 + 32) != Z_OK) raiseFail("zlib could not start");
  std::string out;
  zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  zip.avail_in = static_cast<uInt>(packed.size());
  unsigned char buffer[1 << 16];
  for (;;) {
    zip.next_out = buffer;
    zip.avail_out = sizeof buffer;
    const int status = inflate(&zip, Z_NO_FLUSH);
    out.append(reinterpret_cast<char*>(buffer), sizeof buffer - zip.avail_out);
    if (status == Z_STREAM_END) {
      if (zip.avail_in == 0) break;
      inflateReset(&zip);  // another member follows
      continue;
    }
    if (status == Z_BUF_ERROR || (status == Z_OK && zip.avail_in == 0 && zip.avail_out != 0)) {
      cutShort = true;  // the input ended before the stream did
      break;
    }
    if (status != Z_OK) {
      const std::string what = zip.msg != nullptr ? zip.msg : "bad data";
      const std::size_t at = packed.size() - zip.avail_in;
      inflateEnd(&zip);
      throw Failure(FailureKind::Fail)
          .because("corrupt gzip data at byte " + std::to_string(at) + ": " + what);
    }
  }
  inflateEnd(&zip);
  return out;
}

}  // namespace

RecordFile readRecordFile(const std::string& path) {
  return recordFromBytes(readFileBytes(path, "cannot open: "), path);
}

RecordFile recordFromBytes(std::string bytes, const std::string& path) {
  RecordFile record;
  record.path = path;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
      static_cast<unsigned char>(bytes[1]) == 0x8b) {
    bytes = inflateAll(bytes, record.cutShort);
  }
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    record.lines.push_back(bytes.substr(start, end - start));
  }
  if (start < bytes.size()) record.cutShort = true;  // a last line without its end
  return record;
}

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
