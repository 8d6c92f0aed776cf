// A record grows while its game is played: with --live-record, every "T"
// takes the lines so far to the file before the server waits for the reply, so a spectator sees
// each T as the controller answers it; a .gz record stays readable at every
// such point and its bytes still depend only on the game.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

namespace rover::e2e {
namespace {

// The record's complete lines as they are now: a .gz stream is inflated as
// far as it goes (it has no trailer yet), a partial last line is left out.
std::string completeLines(const std::string& path) {
  std::string text = readFile(path);
  if (path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0 && !text.empty()) {
    z_stream zip{};
    EXPECT_EQ(inflateInit2(&zip, 15 + 16), Z_OK);
    zip.next_in = reinterpret_cast<Bytef*>(text.data());
    zip.avail_in = static_cast<uInt>(text.size());
    std::string plain;
    char block[1 << 16];
    int code = Z_OK;
    while (code == Z_OK) {
      zip.next_out = reinterpret_cast<Bytef*>(block);
      zip.avail_out = sizeof block;
      code = inflate(&zip, Z_NO_FLUSH);
      plain.append(block, sizeof block - zip.avail_out);
    }
    EXPECT_TRUE(code == Z_STREAM_END || code == Z_BUF_ERROR) << "damaged gzip stream: " << code;
    inflateEnd(&zip);
    text = plain;
  }
  return text.substr(0, text.rfind('\n') + 1);
}

bool isTelemetryLine(const std::string& text, std::size_t at) {
  static const std::string kMsg = "{\"type\":\"msg\",";
  return text.compare(at, kMsg.size(), kMsg) == 0 && text.find("\"text\":\"T ", at) < text.find('\n', at);
}

// Where the line of the k-th "T" (from 1) ends in `text`, past its newline;
// npos when there are fewer.
std::size_t endOfTelemetryLine(const std::string& text, int k) {
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (isTelemetryLine(text, at) && --k == 0) return text.find('\n', at) + 1;
  }
  return std::string::npos;
}

int telemetryLines(const std::string& text) {
  int count = 0;
  for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) count += isTelemetryLine(text, at);
  return count;
}

std::string script(int k) {
  if (k % 6 == 1) return "a;;";
  if (k % 9 == 4) return "l;r;;";
  return ";";
}

struct Watched {
  std::vector<std::string> seen;  // the record's lines when the replies to the first k Ts went out
  std::vector<int> answered;      // k of each
  Ending ending;
};

// A lockstep game of two runs with a bounce, whose controller answers only
// once the record holds the line of every T it has received, and no T more
// (the server waits for the reply, so none can come); the replies to the
// Ts of one instant go out together, so that the server reads them the same
// way in every game.
Watched playWatchingRecord(const std::string& record) {
  Session session(bumpyMap().json(), true, {"--lockstep", "--reply-timeout", "0", "--live-record", "--record", record});
  Watched watched;
  std::size_t parsed = 0;
  int telemetry = 0;
  int answered = 0;
  int ends = 0;
  const auto deadline = std::chrono::steady_clock::now() + testing::kExitBound;
  while (ends < 2 && std::chrono::steady_clock::now() < deadline) {
    session.client().readMore(std::chrono::milliseconds(answered < telemetry ? 2 : 1000));
    const std::vector<Message> messages = parseMessages(session.client().received());
    for (; parsed < messages.size(); ++parsed) {
      telemetry += messages[parsed].letter == "T";
      ends += messages[parsed].letter == "E";
    }
    if (answered == telemetry || ends == 2) continue;
    const std::string text = completeLines(record);
    // Fewer: the hand-over is on its way; more: their Ts are on their way here.
    if (telemetryLines(text) != telemetry) continue;
    watched.seen.push_back(text);
    watched.answered.push_back(telemetry);
    std::string replies;
    while (answered < telemetry) replies += script(++answered);
    session.client().send(replies);
  }
  if (ends < 2) {
    ADD_FAILURE() << "the record never held the lines of T " << telemetry << " while its reply was awaited";
    session.server().kill(SIGKILL);
  }
  watched.ending = session.finish();
  return watched;
}

// A scratch folder, removed afterwards.
struct Scratch {
  Scratch() {
    char pattern[] = "/tmp/rover_live_record_XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~Scratch() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string path;
};

TEST(LiveRecord, LinesReachTheFileAtEveryTAndGzipBytesRepeat) {
  const Scratch dir;
  const std::string plainPath = dir.path + "/game.jsonl";
  const std::string gzipPath = dir.path + "/game.jsonl.gz";
  const std::string againPath = dir.path + "/again.jsonl.gz";

  const Watched plain = playWatchingRecord(plainPath);
  ASSERT_EQ(plain.ending.status, 0) << plain.ending.err;
  const Watched gzip = playWatchingRecord(gzipPath);
  ASSERT_EQ(gzip.ending.status, 0) << gzip.ending.err;
  const Watched again = playWatchingRecord(againPath);
  ASSERT_EQ(again.ending.status, 0) << again.ending.err;

  const std::string whole = readFile(plainPath);
  EXPECT_EQ(completeLines(gzipPath), whole);
  EXPECT_EQ(readFile(againPath), readFile(gzipPath)) << "the same lockstep game gives the same .gz bytes";

  for (const Watched* game : {&plain, &gzip}) {
    ASSERT_GT(game->seen.size(), 50u);
    for (std::size_t i = 0; i < game->seen.size(); ++i) {
      const std::string& seen = game->seen[i];
      SCOPED_TRACE("reply " + std::to_string(i + 1) + " to T " + std::to_string(game->answered[i]));
      EXPECT_EQ(whole.compare(0, seen.size(), seen), 0) << "the record so far is a prefix of the whole";
      // Everything up to the T, nothing after it: the lines after a T wait
      // for the next hand-over (the game's last T is not awaited, so its
      // run's end may follow it).
      if (i + 1 < game->seen.size()) {
        EXPECT_EQ(endOfTelemetryLine(seen, game->answered[i]), seen.size());
      }
    }
  }
}

}  // namespace
}  // namespace rover::e2e
