// mapcheck [--json] FILE: loads a map exactly as the server does. A good
// map gets a summary on standard output (with --json, one JSON object:
// docs/mapcheck.md) and status 0; a bad one gets one line on standard error
// with the place and the reason (and a hint line for "//" notes, which the
// reader does not take as comments), and status 1. As for the server's long
// options, --json counts only when a file follows it: "mapcheck --json"
// alone reads a file named --json, as does "mapcheck ./--json".
// "mapcheck --help" prints the help; a map named --help is read as ./--help.
#include <cstdio>
#include <string>

#include "base/failure.h"
#include "base/failure_description.h"
#include "comment_hint.h"
#include "map/map_loader.h"
#include "map_summary.h"

namespace {

constexpr const char* kHelp =
    "usage: mapcheck [--json] file\n"
    "       mapcheck --help\n"
    "\n"
    "Loads a map exactly as the server does. A good map gets a summary on\n"
    "standard output and status 0; a bad one gets one line on standard error\n"
    "with the failure's kind, its message and the line and column where the\n"
    "reader stood, and status 1. A map file named --help is read as ./--help.\n"
    "\n"
    "  --json  the summary as one JSON object (docs/mapcheck.md)\n"
    "  --help  print this help and exit\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const bool json = argc == 3 && std::string(argv[1]) == "--json";
  if (argc != 2 && !json) {
    std::fputs("usage: mapcheck [--json] file\n", stderr);
    return 1;
  }
  const std::string path = argv[argc - 1];
  try {
    rover::MapSpec map = rover::loadMap(path);
    std::fputs((json ? rover::summarizeMapJson(path, map) : rover::summarizeMap(path, map)).c_str(), stdout);
    return 0;
  } catch (const rover::Failure& failure) {
    std::fputs(rover::describeFailure(path, failure).c_str(), stderr);
    std::fputs(rover::slashNotesHint(path).c_str(), stderr);
    return 1;
  }
}
