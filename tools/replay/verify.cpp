#include "verify.h"

#include <optional>
#include <vector>

#include "base/version.h"
#include "driver/game_session.h"
#include "driver/listener_list.h"
#include "driver/top_level_report.h"
#include "driver/virtual_clock.h"
#include "line_comparer.h"
#include "map/byte_source.h"
#include "map/map_loader.h"
#include "net/output_buffer.h"
#include "record/record_writer.h"
#include "record_header.h"
#include "record_line.h"
#include "replay_transport.h"

namespace rover::replay {

namespace {

InputPhase phaseNamed(const RecordLine& line) {
  const std::string at = line.string("at");
  if (at == "poll") return InputPhase::Poll;
  if (at == "drain") return InputPhase::Drain;
  if (at == "wait") return InputPhase::Wait;
  line.fail("unknown \"at\": \"" + at + "\"");
}

struct RecordedGame {
  std::vector<RecordedInput> inputs;
  ReplayTransport::Failures failures;
  bool hasFooter = false;
};

// Every line must read as a record line; the inputs and the footer's
// failure are what the replay needs from them.
RecordedGame scan(const RecordFile& record) {
  RecordedGame game;
  for (std::size_t i = 1; i < record.lines.size(); ++i) {
    const RecordLine line(record.lines[i], i + 1);
    const std::string& type = line.type();
    if (type == "recv" || type == "late") {
      RecordedInput input;
      input.run = static_cast<int>(line.smallInteger("run"));
      input.runMillis = line.integer("t").get_str();
      if (type == "late") {
        input.kind = RecordedInput::Kind::Late;
        input.phase = InputPhase::Wait;
      } else {
        input.phase = phaseNamed(line);
        if (line.has("eof")) {
          input.kind = RecordedInput::Kind::EndOfStream;
        } else {
          input.bytes = line.string("bytes");
        }
      }
      game.inputs.push_back(std::move(input));
    } else if (type == "footer") {
      if (i + 1 != record.lines.size()) line.fail("a footer before the end of the record");
      game.hasFooter = true;
      if (!line.has("failure")) continue;
      const rapidjson::Value& failure = line.value("failure");
      if (!failure.IsObject() || !failure.HasMember("kind")) line.fail("\"failure\" is not a failure");
      const std::optional<FailureKind> kind = kindFromName(line.stringOf(failure["kind"], "kind"));
      if (!kind) line.fail("unknown failure kind");
      std::optional<std::string> message;
      if (!line.isNull("message")) message = line.string("message");
      std::optional<int> code;
      if (failure.HasMember("errno") && !failure["errno"].IsNull()) {
        code = static_cast<int>(line.integerOf(failure["errno"], "errno").get_si());
      }
      const Failure raised(*kind, message, code);
      const bool duringReceive = failure.HasMember("during_receive") && failure["during_receive"].IsTrue();
      if (duringReceive) {
        game.failures.receive = raised;
      } else if (*kind == FailureKind::SysErr) {
        game.failures.send = raised;
        game.failures.messagesBeforeSend = static_cast<std::uint64_t>(line.smallInteger("messages"));
      }
    }
  }
  return game;
}

std::string counts(const RecordFile& record, std::size_t lines) {
  std::size_t runs = 0, messages = 0, steps = 0;
  for (std::size_t i = 0; i < lines && i < record.lines.size(); ++i) {
    const std::string& line = record.lines[i];
    if (line.rfind("{\"type\":\"run_end\"", 0) == 0) ++runs;
    if (line.rfind("{\"type\":\"msg\"", 0) == 0) ++messages;
    if (line.rfind("{\"type\":\"step\"", 0) == 0) ++steps;
  }
  return std::to_string(runs) + " runs, " + std::to_string(messages) + " messages, " + std::to_string(steps) +
         " steps identical";
}

// "run R, t T" of a record line, for the report of a difference.
std::string stampOf(const std::string& text, std::size_t number) {
  try {
    const RecordLine line(text, number);
    if (line.has("run") && line.has("t")) {
      return "run " + line.integer("run").get_str() + ", t " + line.integer("t").get_str() + " ms";
    }
  } catch (const Failure&) {
  }
  return "no stamp";
}

}  // namespace

Verdict verifyRecord(const RecordFile& record) {
  const RecordHeader header = readHeader(record);
  if (header.server != serverVersion()) {
    throw Failure(FailureKind::Fail)
        .at({1, 0})
        .because("written by server " + header.server + "; this replay is version " + serverVersion() +
                 " and verifies only records of its own version");
  }
  RecordedGame recorded = scan(record);

  MemoryByteSource mapSource(header.mapBytes);
  MapSpec map = loadMapFrom(mapSource);
  GameInfo info;
  info.server = header.server;
  info.lockstep = header.lockstep;
  info.seed = header.seed;
  info.replyTimeoutMillis = header.replyTimeoutMillis;
  info.map.bytes = header.mapBytes;
  info.map.sha256 = header.mapSha256;

  LineComparer comparer(record);
  ReplayTransport transport(std::move(recorded.inputs), recorded.failures);
  ListenerList listeners;
  listeners.add(transport);
  VirtualClock clock;
  OutputBuffer output(transport);
  std::optional<RecordWriter> writer;
  std::optional<GameSession> session;
  // The replay's top level: a failure is either the recorded game's own
  // ending (compared like any other line) or the end of the comparison.
  std::optional<Failure> ended;
  try {
    writer.emplace(comparer, info, map);
    listeners.add(*writer);
    session.emplace(
        SessionSetup{.map = map,
                     .transport = transport,
                     .output = output,
                     .clock = clock,
                     .listener = listeners,
                     .record = &*writer,
                     .mode = header.lockstep ? PlayMode::Lockstep : PlayMode::RealTime,
                     .lockstep = LockstepOptions::withTimeoutMillis(header.replyTimeoutMillis.value_or(0)),
                     .seed = header.seed});
    session->playVirtualTime();
    listeners.gameEnded({GameEnding::Status::Completed, "", std::nullopt});
  } catch (const Failure& failure) {
    if (!comparer.difference() && !comparer.beyondRecord() && !transport.ranOut() && writer) ended = failure;
  }
  if (ended) {
    endGameWithFailure(session ? &session->game() : nullptr, listeners, topLevelLine(*ended, true), *ended);
  }

  Verdict verdict;
  if (const auto& d = comparer.difference()) {
    verdict.report = "differs at line " + std::to_string(d->line) + " (" + stampOf(d->recorded, d->line) +
                     "):\n  record: " + d->recorded + "\n  replay: " + d->replayed;
    return verdict;
  }
  const std::size_t matched = comparer.matched();
  if (comparer.beyondRecord() || transport.ranOut()) {
    if (recorded.hasFooter && !comparer.beyondRecord()) {
      verdict.report = "differs after line " + std::to_string(matched) +
                       ": the replay reads input the record does not hold";
      return verdict;
    }
    verdict.identical = true;
    verdict.report = "verified up to line " + std::to_string(matched) + ": " + counts(record, matched) +
                     (recorded.hasFooter ? "; the game was ended from its window there"
                                         : "; the record ends without a footer (the game did not finish)");
    return verdict;
  }
  if (matched < record.lines.size()) {
    verdict.report = "differs at line " + std::to_string(matched + 1) +
                     ": the replay ended, the record goes on:\n  record: " + record.lines[matched];
    return verdict;
  }
  verdict.identical = true;
  verdict.report = "verified: " + counts(record, matched);
  return verdict;
}

}  // namespace rover::replay
