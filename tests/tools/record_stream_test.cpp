// replay's record stream against a simple oracle, over random records: lines
// of every length around the limits, across the reader's blocks, plain or
// gzip in several members, complete or cut short at a flush. The stream must
// return exactly the oracle's lines, then end, or fail at the oracle's line
// for the oracle's reason.
#include <gtest/gtest.h>
#include <zlib.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/failure.h"
#include "record_stream.h"

namespace rover::replay {
namespace {

struct Outcome {
  std::vector<std::string> lines;
  std::optional<std::size_t> failedAt;  // the line named by the failure
  std::string reason;                   // the failure's first words
  bool cutShort = false;
  bool operator==(const Outcome&) const = default;
};

// The rules, one line at a time, over the whole text.
Outcome oracle(const std::string& text, const ReadLimits& limits, bool gzipCut) {
  Outcome out;
  std::uint64_t read = 0;
  std::size_t start = 0;
  const auto fail = [&](std::size_t line, const char* reason) {
    out.failedAt = line;
    out.reason = reason;
    out.cutShort = false;
    return out;
  };
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::size_t length = end - start, number = out.lines.size() + 1;
    if (length > limits.maxLineBytes) return fail(number, "longer than");
    if (length == 0) return fail(number, "an empty line");
    if ((read += length + 1) > limits.maxBytes) return fail(number, "the record holds more");
    out.lines.push_back(text.substr(start, length));
  }
  if (text.size() - start > limits.maxLineBytes) return fail(out.lines.size() + 1, "longer than");
  out.cutShort = gzipCut || start < text.size();
  return out;
}

// What the stream makes of the bytes, handed over `readSize` at a time.
Outcome streamed(const std::string& bytes, const ReadLimits& limits, std::size_t readSize) {
  Outcome out;
  RecordStream stream(RecordStream::InMemory{bytes, readSize}, limits);
  try {
    for (std::string line; stream.next(line);) out.lines.push_back(line);
    out.cutShort = stream.cutShort();
  } catch (const Failure& failure) {
    out.failedAt = failure.position() ? std::optional<std::size_t>(failure.position()->line) : std::nullopt;
    const std::string detail = failure.detail().value_or("");
    for (const char* reason : {"longer than", "an empty line", "the record holds more"}) {
      if (detail.rfind(reason, 0) == 0) out.reason = reason;
    }
  }
  return out;
}

// gzip members of level 1 over consecutive slices of `text`, each slice
// sync-flushed in pieces. With `cutAtFlush`, the bytes stop right after a
// flush of the last member, whose text is then all there, but no trailer.
std::string gzipMembers(const std::string& text, std::mt19937_64& random, bool cutAtFlush) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size() || out.empty()) {
    const std::size_t slice = std::min(text.size() - at, std::size_t(random() % 200000));
    const bool last = at + slice == text.size();
    z_stream zip{};
    deflateInit2(&zip, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::size_t done = 0;
    do {
      const std::size_t piece = std::min(slice - done, std::size_t(1 + random() % 70000));
      const bool end = done + piece == slice;
      std::string packed(deflateBound(&zip, piece) + 64, '\0');
      zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at + done));
      zip.avail_in = static_cast<uInt>(piece);
      zip.next_out = reinterpret_cast<Bytef*>(packed.data());
      zip.avail_out = static_cast<uInt>(packed.size());
      deflate(&zip, end && !(last && cutAtFlush) ? Z_FINISH : Z_SYNC_FLUSH);
      out.append(packed, 0, packed.size() - zip.avail_out);
      done += piece;
    } while (done < slice);
    deflateEnd(&zip);
    at += slice;
  }
  return out;
}

TEST(RecordStreamProperty, ReturnsTheOraclesLinesOrFailsWhereItDoes) {
  std::mt19937_64 random(20260518);
  int failures = 0, cuts = 0;
  for (int round = 0; round < 120; ++round) {
    ReadLimits limits;
    // Short limits give many lines at the limit, so the reader's blocks end
    // at every place in them; long ones give lines across blocks.
    const bool shortLines = round % 2 == 0;
    limits.maxLineBytes = 1 + random() % (shortLines ? 40 : 70000);
    limits.maxBytes = round % 3 == 0 ? 1 + random() % 300000 : std::uint64_t{1} << 40;
    const std::uint64_t typical = shortLines ? limits.maxLineBytes : 300;
    std::string text;
    while (text.size() < 200000 && random() % 3000 != 0) {
      // Mostly typical, some at or just under the limit, rarely one over it, rarely empty.
      std::size_t length =
          random() % 8 == 0 ? limits.maxLineBytes - random() % std::min<std::uint64_t>(3, limits.maxLineBytes)
                            : 1 + random() % typical;
      if (random() % 2000 == 0) length = limits.maxLineBytes + 1;
      if (random() % 3000 == 0) length = 0;
      for (std::size_t k = 0; k < length; ++k) text += static_cast<char>('a' + random() % 26);
      text += '\n';
    }
    if (random() % 3 == 0) text += std::string(1 + random() % 500, 'z');  // a last line without its end
    const int form = static_cast<int>(random() % 3);                      // plain, gzip, gzip cut at a flush
    const std::string bytes = form == 0 ? text : gzipMembers(text, random, form == 2);
    const Outcome expected = oracle(text, limits, form == 2);
    SCOPED_TRACE("round " + std::to_string(round));
    // Reads of a whole block as from a file, or of a few bytes as from a pipe.
    EXPECT_EQ(streamed(bytes, limits, round % 4 < 2 ? 1 << 16 : 1 + random() % 64), expected);
    failures += expected.failedAt.has_value();
    cuts += expected.cutShort;
  }
  // The rounds reach every ending.
  EXPECT_GT(failures, 20);
  EXPECT_GT(cuts, 20);
  EXPECT_GT(120 - failures - cuts, 10);
}

}  // namespace
}  // namespace rover::replay
