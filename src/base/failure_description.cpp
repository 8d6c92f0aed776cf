#include "base/failure_description.h"

#include <sstream>

namespace rover {

std::string describeFailure(const std::string& path, const Failure& failure) {
  std::ostringstream out;
  out << path;
  if (const auto& at = failure.position()) out << ":" << at->line << ":" << at->column;
  out << ": " << failure.kindName();
  std::string text;
  if (failure.message()) {
    text = *failure.message();
    if (failure.detail()) text += " (" + *failure.detail() + ")";
  } else if (failure.detail()) {
    text = *failure.detail();
  }
  if (!text.empty()) out << ": " << text;
  out << "\n";
  return out.str();
}

}  // namespace rover
