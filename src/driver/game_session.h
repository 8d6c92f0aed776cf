#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "driver/clock.h"
#include "driver/game.h"
#include "driver/game_setup.h"
#include "net/command_reader.h"
#include "net/lockstep_input.h"
#include "net/output_buffer.h"
#include "net/recording_transport.h"
#include "net/transport.h"

namespace rover {

// A game record: it hears the game, every receive on the client's
// connection and how each lockstep reply resolved.
class GameRecording : public GameListener, public ReceiveObserver, public ReplyObserver {};

// Closer than this to the next due event, the real-time loop stops sleeping and polls.
inline constexpr std::int64_t kSleepThresholdMillis = 5;

// One pass of the real-time loop: while the next event is more than the
// threshold away it sleeps until that event's due time, otherwise performs
// the due events. An empty queue is an internal failure of kind "Option".
void textLoopStep(Game& game, Clock& clock);

// What differs from one game to the next; the parts must outlive the session.
struct SessionSetup {
  MapSpec& map;
  Transport& transport;  // the client's bytes are read from it
  OutputBuffer& output;  // the messages to the client
  Clock& clock;
  GameListener& listener;  // hears the game; the record, when there is one, among the rest
  // The game record: it also hears every receive and every lockstep reply.
  GameRecording* record = nullptr;
  PlayMode mode = PlayMode::RealTime;
  LockstepOptions lockstep = {};  // lockstep only
  // Lockstep: times every reply by the wall clock for the listener
  // (replyTimed); off, nothing reads the wall clock for it.
  bool timeReplies = false;
  // Also hears every receive on the client's connection (the timing file).
  ReceiveObserver* receives = nullptr;
  std::uint64_t seed = 0;
  bool exitWhenDone = true;
};

// The one place a game is built: the input side for the mode (the client's
// transport wrapped for the record when there is one), the Game, and its
// two ready loops. Who needs another loop (the window's idle callback, the
// tests) drives game() step by step: runDueEvents, endInstant, nextDue.
class GameSession {
 public:
  explicit GameSession(const SessionSetup& setup);
  GameSession(const GameSession&) = delete;
  GameSession& operator=(const GameSession&) = delete;

  Game& game() { return *game_; }

  // Starts the game and plays it in real time until it has finished,
  // sleeping until each due time.
  void playRealTime();
  // Starts the game and plays it in virtual time until it has finished: the
  // clock jumps to each due time, and every instant ends with the wait for
  // the lockstep replies owed. Lockstep games play so, and so does the
  // replay of a record of either mode. `afterEvents`, when given, runs
  // between an instant's events and its wait (a test's client answers there).
  void playVirtualTime(const std::function<void()>& afterEvents = {});

 private:
  // Passes the lockstep replies' times on to the game's listener.
  class ReplyTimesToListener final : public ReplyTimingObserver {
   public:
    explicit ReplyTimesToListener(GameListener& listener) : listener_(listener) {}
    void replyTimed(const ReplyTiming& timing) override { listener_.replyTimed(timing); }

   private:
    GameListener& listener_;
  };

  Clock& clock_;
  ReplyTimesToListener replyTimes_;
  std::optional<RecordingTransport> recorded_;
  std::optional<RecordingTransport> observed_;
  std::optional<CommandReader> reader_;
  std::unique_ptr<ClientInput> input_;
  std::unique_ptr<Game> game_;
};

}  // namespace rover
