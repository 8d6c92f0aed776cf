#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/clock.h"
#include "driver/game_session.h"
#include "driver/listener_list.h"
#include "lib/instant_messages.h"
#include "lib/library_map.h"
#include "lib/record_file.h"
#include "lib/reply_transport.h"
#include "lib/rover.h"
#include "lib/telemetry_fields.h"
#include "net/output_buffer.h"
#include "record/record_writer.h"

namespace rover {

// A lockstep game (reply timeout 0) played by its caller, one "T" at a
// time: the game the server would play with a controller that sent the
// same replies, built by the same builder. The caller is shown every "T"
// on its own, also when an instant sends two (a periodic one and the extra
// one after a bounce); the instant ends, and the game waits for the
// replies owed, only once each has been answered, so the replies of one
// instant reach the game in one receive, as one write of them would.
class SteppedGame {
 public:
  // `recordPath`, when given, is the record's file. Raises the record
  // file's failures.
  SteppedGame(const LibraryMap& map, std::uint64_t seed, const std::string* recordPath);
  SteppedGame(const SteppedGame&) = delete;
  SteppedGame& operator=(const SteppedGame&) = delete;

  // To the first "T" of the next run, a run in play played out first with
  // empty replies: ROVER_TELEMETRY, or ROVER_GAME_END after the last run.
  void nextRun(rover_step_info& info);
  // The reply to the latest "T", then on to the next "T" or the run's end.
  void step(std::string_view reply, rover_step_info& info);
  // A "T" waits for its reply.
  bool awaitingReply() const { return phase_ == Phase::AwaitingReply; }

  // The latest "T", read on demand as far as asked (its fixed fields and
  // first `objects` objects): a step reads no more than its time. Null
  // before the first "T".
  const TelemetryFields* telemetry(std::size_t objects = kEveryObject) const;
  const std::string& telemetryText() const { return telemetryText_; }
  const std::string& initText() const { return initText_; }
  // Why the game failed, when it has: the failure's kind and message.
  const std::string& failure() const { return failure_; }

 private:
  enum class Phase { NotStarted, AwaitingReply, RunEnded, GameOver, Failed };

  // Shows the next message worth a stop, running instants as needed.
  void advance(rover_step_info& info);
  void runInstant();
  void closeInstant();
  void endRunShown(const SentMessage& end, rover_step_info& info);
  // Runs `play`; a failure ends the game as a server's would end (a run it
  // left unclosed is closed, the record gets its footer) and is raised on.
  template <class Play>
  void guarded(Play play);

  MapSpec map_;  // this game's copy: the game changes its run cells
  ReplyTransport transport_;
  OutputBuffer output_{transport_};
  VirtualClock clock_;
  InstantMessages messages_;
  std::optional<RecordFile> recordFile_;
  std::optional<RecordWriter> record_;
  ListenerList listeners_;
  std::optional<GameSession> session_;

  Phase phase_ = Phase::NotStarted;
  bool instantOpen_ = false;   // the instant's events have run, its end has not
  std::int64_t lastTime_ = 0;  // run time of the run's latest "T" shown
  bool seenTelemetry_ = false;
  // What has been read of the latest "T": nothing yet, or up to readLimit_ objects.
  mutable bool read_ = false;
  mutable std::size_t readLimit_ = 0;
  mutable TelemetryFields telemetry_;
  std::string telemetryText_;
  std::string initText_;
  std::string failure_;
};

}  // namespace rover
