#include "verify.h"

#include <optional>
#include <vector>

#include "base/version.h"
#include "driver/clock.h"
#include "driver/game_session.h"
#include "driver/listener_list.h"
#include "driver/top_level_report.h"
#include "line_comparer.h"
#include "map/byte_source.h"
#include "map/map_loader.h"
#include "net/output_buffer.h"
#include "record/line_reader.h"
#include "record/record_writer.h"
#include "record_file.h"
#include "replay_transport.h"

namespace rover::replay {

namespace {

struct RecordedGame {
  std::vector<RecordedInput> inputs;
  ReplayTransport::Failures failures;
  bool hasFooter = false;
  // The lines a replay is compared with: all, or those before a quit footer
  // (the window's "q" is no input a replay can play).
  std::size_t comparable = 0;
  std::vector<std::size_t> types;  // each line's index in RecordEntry
};

// Every line must read as a record line; the inputs and the footer's
// failure are what the replay needs from them.
RecordedGame scan(const RecordFile& record) {
  RecordedGame game;
  game.comparable = record.lines.size();
  game.types.push_back(0);  // the header, read already
  for (std::size_t i = 1; i < record.lines.size(); ++i) {
    const RecordEntry entry = readRecordLine(record.lines[i], i + 1);
    game.types.push_back(entry.index());
    if (const auto* recv = std::get_if<RecvLine>(&entry)) {
      RecordedInput& input = game.inputs.emplace_back();
      input.run = recv->at.run;
      input.runMillis = recv->at.runTime.millisText();
      input.phase = recv->phase;
      if (recv->eof) {
        input.kind = RecordedInput::Kind::EndOfStream;
      } else {
        if (!recv->bytes) failAtLine(i + 1, "a \"recv\" line needs \"bytes\" or \"eof\"");
        input.bytes = *recv->bytes;
      }
    } else if (const auto* late = std::get_if<LateLine>(&entry)) {
      game.inputs.push_back(
          {RecordedInput::Kind::Late, InputPhase::Wait, late->at.run, late->at.runTime.millisText(), ""});
    } else if (const auto* footer = std::get_if<FooterLine>(&entry)) {
      if (i + 1 != record.lines.size()) failAtLine(i + 1, "a footer before the end of the record");
      game.hasFooter = true;
      if (footer->status == GameEnding::Status::Quit) game.comparable = i;
      if (!footer->failure) continue;
      const std::optional<FailureKind> kind = kindFromName(footer->failure->kind);
      if (!kind) failAtLine(i + 1, "unknown failure kind");
      const Failure raised(*kind, footer->message.value_or(std::nullopt), footer->failure->code);
      if (footer->failure->duringReceive) {
        game.failures.receive = raised;
      } else if (*kind == FailureKind::SysErr) {
        game.failures.send = raised;
        game.failures.messagesBeforeSend = footer->messages;
      }
    }
  }
  return game;
}

template <class Line>
std::size_t typeIndex() {
  return RecordEntry(std::in_place_type<Line>).index();
}

std::string counts(const RecordedGame& game, std::size_t lines) {
  std::size_t runs = 0, messages = 0, steps = 0;
  for (std::size_t i = 0; i < lines && i < game.types.size(); ++i) {
    runs += game.types[i] == typeIndex<RunEndLine>();
    messages += game.types[i] == typeIndex<MsgLine>();
    steps += game.types[i] == typeIndex<StepLine>();
  }
  return std::to_string(runs) + " runs, " + std::to_string(messages) + " messages, " + std::to_string(steps) +
         " steps identical";
}

// "run R, t T" of a record line, for the report of a difference.
std::string stampOf(const std::string& text, std::size_t number) {
  try {
    return std::visit(
        [](const auto& line) -> std::string {
          if constexpr (requires { line.at.runTime; }) {
            return "run " + std::to_string(line.at.run) + ", t " + line.at.runTime.millisText() + " ms";
          } else if constexpr (requires { line.run.runMillis; }) {
            return "run " + std::to_string(line.run.number) + ", t " + line.run.runMillis.get_str() + " ms";
          }
          return "no stamp";
        },
        readRecordLine(text, number));
  } catch (const Failure&) {
  }
  return "no stamp";
}

}  // namespace

Verdict verifyRecord(const RecordFile& record) {
  const RecordHeader header = readHeader(record);
  if (header.info.server != serverVersion()) {
    failAtLine(1, "written by server " + header.info.server + "; this replay is version " + serverVersion() +
                      " and verifies only records of its own version");
  }
  RecordedGame recorded = scan(record);
  MemoryByteSource mapSource(header.info.map.bytes);
  MapSpec map = loadMapFrom(mapSource);

  LineComparer comparer(record, recorded.comparable);
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
    writer.emplace(comparer, header.info, map);
    listeners.add(*writer);
    session.emplace(SessionSetup{
        .map = map,
        .transport = transport,
        .output = output,
        .clock = clock,
        .listener = listeners,
        .record = &*writer,
        .mode = header.info.lockstep ? PlayMode::Lockstep : PlayMode::RealTime,
        .lockstep = LockstepOptions::withTimeoutMillis(header.info.replyTimeoutMillis.value_or(0)),
        .seed = header.info.seed});
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
    verdict.report = "verified up to line " + std::to_string(matched) + ": " + counts(recorded, matched) +
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
  verdict.report = "verified: " + counts(recorded, matched);
  return verdict;
}

}  // namespace rover::replay
