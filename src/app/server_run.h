#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/output_files.h"
#include "driver/clock.h"
#include "driver/command_line.h"
#include "driver/game_session.h"
#include "driver/listener_list.h"
#include "driver/text_listener.h"
#include "driver/verbose_lines.h"
#include "map/map_spec.h"
#include "net/connection.h"
#include "record/record_sink.h"
#include "record/record_writer.h"
#include "record/results_writer.h"
#include "record/timing_writer.h"

namespace rover {

// One run of the server process, in its start-up order: the command line,
// GLUT (window mode), the map, the output files, the socket and the client,
// then the game in the chosen mode. Everything it builds lives here, so the
// top level can still reach the game when a failure ends the process.
class ServerRun {
 public:
  ServerRun() = default;
  ServerRun(const ServerRun&) = delete;
  ServerRun& operator=(const ServerRun&) = delete;

  // Plays the game to its end in text or lockstep mode, then closes the
  // connection and the listening socket. Window mode never returns.
  void run(const std::string& programName, const std::vector<std::string>& arguments);

  // The one line for a failure that reached the top, after the game's
  // failure path (a run the failure left unclosed, the files). Then exits
  // with status 1.
  [[noreturn]] void fail(const Failure& failure);

 private:
  // Checks and opens the record, results and timing files asked for; a
  // refusal or a failure here ends the server before the socket is opened.
  void prepareFiles();
  // --verbose: the line that explains a failure after its report, or "".
  std::string explanation(const std::optional<Failure>& failure) const;
  [[noreturn]] void playWindow();
  // The orderly end: closes the client connection, then the listening
  // socket, and flushes the output streams.
  void closeServer();

  ServerSettings settings_;
  // Set once the map has loaded: from then on system errors are reported
  // with their message and error name.
  bool systemErrorForm_ = false;
  std::optional<MapSpec> map_;
  int listener_ = -1;
  std::unique_ptr<ClientConnection> connection_;
  OutputFiles outputs_;  // --record, --results, --timing: checked, opened and written by one set of rules
  std::unique_ptr<ResultsWriter> results_;
  std::unique_ptr<RecordSink> recordSink_;
  std::unique_ptr<RecordWriter> record_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<TimingWriter> timing_;
  std::optional<VerboseReplies> verboseReplies_;
  std::unique_ptr<GameListener> scene_;
  std::optional<TextListener> text_;
  ListenerList listeners_;
  std::optional<GameSession> session_;
};

}  // namespace rover
