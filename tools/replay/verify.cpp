#include "verify.h"

#include <algorithm>
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
      if (!recv->eof && !recv->bytes) failAtLine(i + 1, "a \"recv\" line needs \"bytes\" or \"eof\"");
      game.inputs.push_back({recv->eof ? RecordedInput::Kind::EndOfStream : RecordedInput::Kind::Bytes,
                             recv->phase, recv->at.run, recv->at.runTime.millisText(),
                             recv->bytes.value_or("")});
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

std::string counts(const RecordedGame& game, std::size_t lines) {
  const auto end = game.types.begin() + static_cast<std::ptrdiff_t>(std::min(lines, game.types.size()));
  const auto count = [&](auto line) {
    return std::to_string(std::count(game.types.begin(), end, RecordEntry(line).index()));
  };
  return count(RunEndLine{}) + " runs, " + count(MsgLine{}) + " messages, " + count(StepLine{}) +
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
    // The replay's top level: a failure is either the recorded game's own
    // ending (compared like any other line) or the end of the comparison.
    if (!comparer.difference && !comparer.beyondRecord && !transport.ranOut() && writer)
      endGameWithFailure(session ? &session->game() : nullptr, listeners, topLevelLine(failure, true),
                         failure);
  }

  if (const auto& d = comparer.difference) {
    return {false, "differs at line " + std::to_string(d->line) + " (" + stampOf(d->recorded, d->line) +
                       "):\n  record: " + d->recorded + "\n  replay: " + d->replayed};
  }
  const std::size_t matched = comparer.matched;
  if (comparer.beyondRecord || transport.ranOut()) {
    if (recorded.hasFooter && !comparer.beyondRecord) {
      return {false, "differs after line " + std::to_string(matched) +
                         ": the replay reads input the record does not hold"};
    }
    return {true, "verified up to line " + std::to_string(matched) + ": " + counts(recorded, matched) +
                      (recorded.hasFooter ? "; the game was ended from its window there"
                                          : "; the record ends without a footer (the game did not finish)")};
  }
  if (matched < record.lines.size()) {
    return {false, "differs at line " + std::to_string(matched + 1) +
                       ": the replay ended, the record goes on:\n  record: " + record.lines[matched]};
  }
  return {true, "verified: " + counts(recorded, matched)};
}

}  // namespace rover::replay
