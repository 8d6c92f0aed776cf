#include "rover/outcome.h"

namespace rover::client {

const char* outcomeText(char ending) {
  switch (ending) {
    case 'S':
      return "reached home";
    case 'C':
      return "crashed into crater";
    case 'K':
      return "killed by Martian";
    default:
      return "time limit exceeded";
  }
}

}  // namespace rover::client
