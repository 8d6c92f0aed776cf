// An example bot: drives straight home, slowing down to turn.
//
//   example_bot [host] [port]       (defaults: localhost 17676)
//
// It knows nothing of boulders, craters or Martians, so it gets home on open
// ground (maps/open_plain.json) and is a starting point, not a contender. The
// kit does the protocol; a bot only says which controls it wants after each
// telemetry message. Prints one line per run and exits 0 when the server ends
// the game.

#include <cmath>
#include <cstdio>
#include <numbers>

#include "rover/outcome.h"
#include "rover/run_bot.h"

namespace {

using rover::client::Controls;

/// to - heading in degrees, brought into [-180, 180).
double angleDifference(double to, double heading) {
  double difference = std::fmod(to - heading + 180.0, 360.0);
  return (difference < 0.0 ? difference + 360.0 : difference) - 180.0;
}

class HomingBot : public rover::client::Bot {
 public:
  void onInit(const rover::client::InitMessage& init) override {
    maxSpeed_ = init.maxSpeed;
    std::printf("map %g x %g, time limit %lld ms, top speed %g\n", init.sizeX, init.sizeY,
                static_cast<long long>(init.timeLimitMs), init.maxSpeed);
  }

  void onRunStart(int run) override {
    run_ = run;
    ending_ = 0;
  }

  Controls onTelemetry(const rover::client::Telemetry& t) override {
    double error = angleDifference(std::atan2(-t.y, -t.x) * 180.0 / std::numbers::pi, t.heading);
    // Hard turns for large errors, gentle ones to trim, none when on course.
    int turn = 0;
    if (std::fabs(error) > 20.0) {
      turn = error > 0.0 ? 2 : -2;
    } else if (std::fabs(error) > 3.0) {
      turn = error > 0.0 ? 1 : -1;
    }
    // Slow down for sharp turns: the circle a turn drives shrinks with the speed.
    double target = maxSpeed_ * (std::fabs(error) < 30.0 ? 0.6 : 0.2);
    int accel = 0;
    if (t.speed < target - 0.3) {
      accel = 1;
    } else if (t.speed > target + 0.5) {
      accel = -1;
    }
    return Controls{accel, turn};
  }

  void onEvent(const rover::client::EventMessage& event) override {
    if (event.kind != 'B') ending_ = event.kind;
  }

  void onEnd(const rover::client::EndMessage& end) override {
    std::printf("run %d: %s; time = %lld ms; score = %lld\n", run_, rover::client::outcomeText(ending_),
                static_cast<long long>(end.timeMs), static_cast<long long>(end.scoreMs));
    std::fflush(stdout);
  }

 private:
  double maxSpeed_ = 10.0;
  int run_ = 0;
  char ending_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  HomingBot bot;
  return rover::client::runBot(bot, argc, argv);
}
