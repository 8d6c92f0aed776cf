// The server's entry point: the command line's "--help", the start-up order
// (ServerRun) and the top-level report.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/server_run.h"
#include "base/failure.h"
#include "driver/command_line.h"
#include "driver/top_level_report.h"

int main(int argc, char** argv) {
  using namespace rover;
  const std::string programName = argc > 0 ? argv[0] : "server";
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (wantsHelp(arguments)) {
    std::fputs(helpText(), stdout);
    return 0;
  }
  ServerRun server;
  try {
    server.run(programName, arguments);
    return 0;
  } catch (const Failure& failure) {
    server.fail(failure);
  } catch (const std::exception& error) {
    server.fail(failureFor(error));
  } catch (...) {
    server.fail(Failure(FailureKind::Fail));
  }
}
