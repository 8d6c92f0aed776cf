#include "driver/top_level_report.h"

#include <cstdlib>
#include <new>
#include <stdexcept>

#include "base/errno_names.h"
#include "driver/game.h"

namespace rover {

std::string topLevelLine(const Failure& failure, bool systemErrorForm) {
  if (failure.kind() == FailureKind::Usage) {
    // A bad long option or combination says which and why on a line of its own.
    if (failure.message()) return std::string(kUsageText) + "server: " + *failure.message() + "\n";
    return kUsageText;
  }
  if (systemErrorForm && failure.kind() == FailureKind::SysErr) {
    std::string line = "ERROR: " + failure.message().value_or("");
    if (failure.errorCode()) line += " (" + errnoName(*failure.errorCode()) + ")";
    return line + "\n";
  }
  return std::string("uncaught exception: ") + failure.kindName() + "\n";
}

Failure failureFor(const std::exception& error) {
  if (const auto* failure = dynamic_cast<const Failure*>(&error)) return *failure;
  if (dynamic_cast<const std::bad_alloc*>(&error)) return Failure(FailureKind::NoMemory);
  if (dynamic_cast<const std::length_error*>(&error)) return Failure(FailureKind::Size);
  if (dynamic_cast<const std::out_of_range*>(&error)) return Failure(FailureKind::Subscript);
  if (dynamic_cast<const std::domain_error*>(&error)) return Failure(FailureKind::Domain);
  return Failure(FailureKind::Fail);
}

void endGameWithFailure(Game* game, GameListener& listener, std::string line,
                        const std::optional<Failure>& failure) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  try {
    if (game != nullptr) game->closeRun();
  } catch (...) {
  }
  try {
    listener.gameEnded({GameEnding::Status::Failed, line, failure});
  } catch (...) {
  }
}

void topLevelReport(const Failure& failure, bool systemErrorForm, std::FILE* err, const std::string& after) {
  std::fflush(stdout);
  std::fputs(topLevelLine(failure, systemErrorForm).c_str(), err);
  std::fputs(after.c_str(), err);
  std::fflush(err);
  std::exit(1);
}

}  // namespace rover
