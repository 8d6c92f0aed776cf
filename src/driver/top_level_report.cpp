#include "driver/top_level_report.h"

#include <cstdlib>

namespace rover {

std::string topLevelLine(const Failure& failure, bool systemErrorForm) {
  if (failure.kind() == "Usage") return kUsageText;
  if (systemErrorForm && failure.kind() == "SysErr") {
    std::string line = "ERROR: " + failure.message().value_or("");
    if (failure.errorCode()) line += " (" + errnoName(*failure.errorCode()) + ")";
    return line + "\n";
  }
  return "uncaught exception: " + failure.kind() + "\n";
}

void topLevelReport(const Failure& failure, bool systemErrorForm, std::FILE* err) {
  std::fflush(stdout);
  std::fputs(topLevelLine(failure, systemErrorForm).c_str(), err);
  std::fflush(err);
  std::exit(1);
}

}  // namespace rover
