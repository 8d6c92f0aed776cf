// mapcheck FILE: loads a map exactly as the server does. A good map gets a
// summary on standard output and status 0; a bad one gets one line on
// standard error with the place and the reason (and a hint line for "//"
// notes, which the reader does not take as comments), and status 1.
#include <cstdio>
#include <string>

#include "base/failure.h"
#include "comment_hint.h"
#include "map/map_loader.h"
#include "map_summary.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mapcheck file\n", stderr);
    return 1;
  }
  std::string path = argv[1];
  try {
    rover::MapSpec map = rover::loadMap(path);
    std::fputs(rover::summarizeMap(path, map).c_str(), stdout);
    return 0;
  } catch (const rover::Failure& failure) {
    std::fputs(rover::describeFailure(path, failure).c_str(), stderr);
    std::fputs(rover::slashNotesHint(path).c_str(), stderr);
    return 1;
  }
}
