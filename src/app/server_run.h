#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "driver/clock.h"
#include "driver/command_line.h"
#include "driver/game.h"
#include "driver/listener_list.h"
#include "driver/text_listener.h"
#include "map/map_spec.h"
#include "net/client_input.h"
#include "net/command_reader.h"
#include "net/connection.h"
#include "net/recording_transport.h"
#include "record/game_info.h"
#include "record/record_sink.h"
#include "record/record_writer.h"
#include "record/results_writer.h"

namespace rover {

// One run of the server process, in its start-up order: the command line,
// GLUT (window mode), the map, the socket and the client, then the game in
// the chosen mode. Everything it builds lives here, so the top level can
// still reach the game when a failure ends the process.
class ServerRun {
 public:
  ServerRun() = default;
  ServerRun(const ServerRun&) = delete;
  ServerRun& operator=(const ServerRun&) = delete;

  // Plays the game to its end in text or lockstep mode, then closes the
  // connection and the listening socket. Window mode never returns.
  void run(const std::string& programName, const std::vector<std::string>& arguments);

  // The one line for a failure that reached the top, after announcing a run
  // end that the failure cut short. Then exits with status 1.
  [[noreturn]] void fail(const Failure& failure);

 private:
  // Creates the results and record files asked for; a failure here ends the
  // server before the socket is opened.
  void prepareFiles();
  // The transport the client's input is read through: recorded when asked.
  Transport& inputTransport();
  // Writes the record's footer and the results file, if asked for.
  void finishFiles(const GameEnding& ending);
  void playText(GameSetup setup);
  void playLockstep(GameSetup setup);
  [[noreturn]] void playWindow(GameSetup setup);

  ServerSettings settings_;
  // Set once the map has loaded: from then on system errors are reported
  // with their message and error name.
  bool systemErrorForm_ = false;
  std::optional<MapSpec> map_;
  int listener_ = -1;
  std::unique_ptr<ClientConnection> connection_;
  std::unique_ptr<ResultsWriter> results_;
  std::unique_ptr<RecordSink> recordSink_;
  std::unique_ptr<RecordWriter> record_;
  std::unique_ptr<RecordingTransport> recordedInput_;
  std::unique_ptr<CommandReader> reader_;
  bool filesFinished_ = false;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<ClientInput> input_;
  ListenerList listeners_;
  std::vector<std::unique_ptr<GameListener>> ownedListeners_;
  std::unique_ptr<Game> game_;
};

}  // namespace rover
