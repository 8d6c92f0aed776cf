#include "driver/top_level_report.h"

#include <cstdlib>
#include <new>
#include <stdexcept>

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

Failure failureFor(const std::exception& error) {
  if (const auto* failure = dynamic_cast<const Failure*>(&error)) return *failure;
  if (dynamic_cast<const std::bad_alloc*>(&error)) return Failure("NoMemory");
  if (dynamic_cast<const std::length_error*>(&error)) return Failure("Size");
  if (dynamic_cast<const std::out_of_range*>(&error)) return Failure("Subscript");
  if (dynamic_cast<const std::domain_error*>(&error)) return Failure("Domain");
  return Failure("Fail");
}

void topLevelReport(const Failure& failure, bool systemErrorForm, std::FILE* err) {
  std::fflush(stdout);
  std::fputs(topLevelLine(failure, systemErrorForm).c_str(), err);
  std::fflush(err);
  std::exit(1);
}

}  // namespace rover
