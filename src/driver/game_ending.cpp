#include "driver/game_ending.h"

namespace rover {

const char* statusName(GameEnding::Status status) {
  switch (status) {
    case GameEnding::Status::Completed:
      return "completed";
    case GameEnding::Status::Quit:
      return "quit";
    case GameEnding::Status::Failed:
      return "failed";
  }
  return "failed";
}

}  // namespace rover
