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
#include "replay_transport.h"
#include "run_window.h"

namespace rover::replay {

namespace {

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

std::string counts(const LineComparer& comparer) {
  return std::to_string(comparer.runs) + " runs, " + std::to_string(comparer.messages) + " messages, " +
         std::to_string(comparer.steps) + " steps identical";
}

}  // namespace

Verdict verifyRecord(RecordReader& record) {
  const RecordHeader& header = record.header();
  if (header.info.server != serverVersion()) {
    failAtLine(1, "written by server " + header.info.server + "; this replay is version " + serverVersion() +
                      " and verifies only records of its own version");
  }
  MemoryByteSource mapSource(header.info.map.bytes);
  MapSpec map = loadMapFrom(mapSource);

  RunWindow window(record);
  LineComparer comparer(window);
  ReplayTransport transport(window);
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
    if (!window.readFailure() && !comparer.difference && !comparer.beyondRecord && !transport.ranOut() &&
        writer)
      endGameWithFailure(session ? &session->game() : nullptr, listeners, topLevelLine(failure, true),
                         failure);
  }
  // A line the replay reached that cannot be read ends it as an unreadable record.
  if (window.readFailure()) throw *window.readFailure();

  if (const auto& d = comparer.difference) {
    return {Verdict::Differs, "differs at line " + std::to_string(d->line) + " (" +
                                  stampOf(d->recorded, d->line) + "):\n  record: " + d->recorded +
                                  "\n  replay: " + d->replayed};
  }
  const std::size_t matched = comparer.matched;
  if (comparer.beyondRecord || transport.ranOut()) {
    // Either way the record has been read to its end, or the replay parted
    // from it in the middle of a run.
    const bool partedMidway = transport.ranOut() && !comparer.beyondRecord && !transport.ranOutAtTheEnd();
    if (partedMidway || (window.footer() && !comparer.beyondRecord)) {
      return {Verdict::Differs, "differs after line " + std::to_string(matched) +
                                    ": the replay reads input the record does not hold"};
    }
    const std::string verified = "verified up to line " + std::to_string(matched) + ": " + counts(comparer);
    if (window.footer()) return {Verdict::Identical, verified + "; the game was ended from its window there"};
    return {Verdict::Unfinished, verified + "; the record ends without a footer (the game did not finish)"};
  }
  if (const std::string* rest = window.line(matched + 1)) {
    return {Verdict::Differs, "differs at line " + std::to_string(matched + 1) +
                                  ": the replay ended, the record goes on:\n  record: " + *rest};
  }
  return {Verdict::Identical, "verified: " + counts(comparer)};
}

}  // namespace rover::replay
