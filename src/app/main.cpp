// The server's entry point: the start-up order and the top-level report.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "base/failure.h"
#include "driver/clock.h"
#include "driver/command_line.h"
#include "driver/game.h"
#include "driver/quit_server.h"
#include "driver/text_announcer.h"
#include "driver/text_loop.h"
#include "driver/top_level_report.h"
#include "map/map_loader.h"
#include "net/connection.h"
#include "view/window.h"

namespace rover {
namespace {

// Set once the map has loaded: from then on system errors are reported with
// their message and error name.
bool systemErrorForm = false;

[[noreturn]] void runServer(const std::string& programName, const std::vector<std::string>& arguments) {
  const ServerSettings settings = parseCommandLine(arguments);
  if (settings.showWindow) {
    std::vector<std::string> glutArguments{programName};
    glutArguments.insert(glutArguments.end(), arguments.begin(), arguments.end());
    initGlut(glutArguments);
  }
  MapSpec map = loadMap(settings.mapFile);
  systemErrorForm = true;

  const int listener = openListener(settings.port);
  std::unique_ptr<ClientConnection> connection = acceptClient(listener);
  SteadyClock clock;
  auto quit = [&connection, listener] { quitServer(*connection, listener); };

  if (!settings.showWindow) {
    TextAnnouncer announcer;
    Game game(map, connection->output(), connection->commands(), clock, announcer, true, quit);
    game.start();
    textLoop(game, clock);
  }
  std::unique_ptr<RoundAnnouncer> announcer = makeSceneAnnouncer();
  Game game(map, connection->output(), connection->commands(), clock, *announcer, false, quit);
  runWindowMode(game, clock, settings.mapFile, quit);
}

}  // namespace
}  // namespace rover

int main(int argc, char** argv) {
  using namespace rover;
  try {
    const std::string programName = argc > 0 ? argv[0] : "server";
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    runServer(programName, arguments);
  } catch (const Failure& failure) {
    topLevelReport(failure, systemErrorForm);
  } catch (const std::exception& error) {
    topLevelReport(failureFor(error), systemErrorForm);
  } catch (...) {
    topLevelReport(Failure(FailureKind::Fail), systemErrorForm);
  }
}
