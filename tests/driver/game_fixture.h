#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "driver/game_session.h"
#include "driver/listener_list.h"
#include "driver/text_listener.h"
#include "fake_clock.h"
#include "map/byte_source.h"
#include "map/map_loader.h"
#include "map/map_spec.h"
#include "net/memory_transport.h"
#include "net/output_buffer.h"

namespace rover::testing {

// A text stream in memory standing in for standard output.
class CapturedStream {
 public:
  CapturedStream() : file_(open_memstream(&data_, &size_)) {}
  ~CapturedStream() {
    std::fclose(file_);
    std::free(data_);
  }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

struct RoverStart {
  double x = 30.0;
  double y = 30.0;
  double dir = 0.0;
};

struct MartianStart {
  double x = 0.0;
  double y = 0.0;
  double dir = 0.0;
};

struct TestRun {
  RoverStart rover;
  std::vector<MartianStart> martians;
};

// A 100 x 100 map with the home base and one crater of radius 3 at (20, -20).
// The rover sees 10 ahead and 5 behind, so from its default start nothing is
// in view.
inline MapSpec makeTestMap(const mpz_class& timeLimitMillis, const std::vector<TestRun>& runs) {
  MapSpec map;
  map.halfSize = 50.0;
  map.timeLimitMillis = timeLimitMillis;
  map.vehicleParams = {10.0, 2.0, 4.0, 20.0, 60.0, 120.0, 10.0, 5.0};
  map.martianParams = {5.0, 2.0, 4.0, 20.0, 60.0, 120.0, 20.0, 20.0};
  map.objects.push_back(homeObject());
  map.objects.push_back({ObjectKind::Crater, {{20.0, -20.0}, 3.0}, 1});
  for (const TestRun& run : runs) {
    RunSpec runSpec;
    runSpec.startState = startMotionState(run.rover.x, run.rover.y, run.rover.dir, 0.0);
    for (std::size_t i = 0; i < run.martians.size(); ++i) {
      const MartianStart& m = run.martians[i];
      runSpec.enemies.push_back({20.0, static_cast<int>(i), startMotionState(m.x, m.y, m.dir, 0.0)});
    }
    map.runs.push_back(runSpec);
  }
  map.world.rover = map.runs.front().startState;
  return map;
}

// A map as the server loads it, from JSON text.
inline MapSpec mapFromText(const char* text) {
  MemoryByteSource source(text);
  return loadMapFrom(source);
}

// Keeps every run report it hears, as each run closes.
struct ReportRecorder final : GameListener {
  void runClosed(const RunReport& report) override { reports.push_back(report); }
  std::vector<RunReport> reports;
};

// How a harness plays, each choice named where it is made, e.g.
// GameHarness(map, {.mode = PlayMode::Lockstep, .seed = 7}).
struct HarnessChoices {
  PlayMode mode = PlayMode::RealTime;  // lockstep waits for ever for each reply
  std::uint64_t seed = 0;
  bool exitWhenDone = true;  // false: window mode, which stays after the last run
  LockstepOptions lockstep = {};
  bool timeReplies = false;             // listeners hear replyTimed
  ReceiveObserver* receives = nullptr;  // hears every receive
};

// A game built as the server builds it, on the fake clock and the in-memory
// transport, with the announcements and result lines captured.
struct GameHarness {
  explicit GameHarness(MapSpec mapSpec, HarnessChoices choices = {})
      : map(std::move(mapSpec)),
        output(transport),
        listener(stdoutText.file()),
        session(SessionSetup{.map = map,
                             .transport = transport,
                             .output = output,
                             .clock = clock,
                             .listener = listeners,
                             .mode = choices.mode,
                             .lockstep = choices.lockstep,
                             .timeReplies = choices.timeReplies,
                             .receives = choices.receives,
                             .seed = choices.seed,
                             .exitWhenDone = choices.exitWhenDone}),
        game(session.game()) {
    listeners.add(listener);
    listeners.add(recorder);
    game.setEventObserver([this](const ScheduledEvent& e) { performed.push_back(e); });
  }

  TimeValue ms(std::int64_t millis) const { return TimeValue::fromMillis(millis); }
  // Moves the fake clock to `millis` after `origin` and runs the due events.
  void runAt(const TimeValue& origin, std::int64_t millis) {
    clock.set(origin + ms(millis));
    game.runDueEvents();
  }
  // Plays the game to its end in the session's virtual time: after every
  // instant the client answers each new "T" with reply(k, text), k counting
  // the game's "T" messages from 1. In real time the replies arrive after
  // the instant, so the next poll reads them; in lockstep the game waits for them.
  void playAnswering(const std::function<std::string(int k, const std::string& text)>& reply) {
    std::size_t read = 0;
    int telemetry = 0;
    session.playVirtualTime([&] {
      const std::string stream = transport.sent();
      for (std::size_t end; (end = stream.find(';', read)) != std::string::npos; read = end + 1) {
        const std::string text = stream.substr(read, end + 1 - read);
        if (text[0] == 'T') transport.pushInput(reply(++telemetry, text));
      }
    });
  }

  int count(ActionKind kind) const {
    int n = 0;
    for (const ScheduledEvent& e : performed) n += e.action.kind == kind;
    return n;
  }

  MapSpec map;
  MemoryTransport transport;
  OutputBuffer output;
  FakeClock clock;
  CapturedStream stdoutText;
  TextListener listener;
  ReportRecorder recorder;
  ListenerList listeners;
  std::vector<ScheduledEvent> performed;
  GameSession session;
  Game& game;
};

}  // namespace rover::testing
