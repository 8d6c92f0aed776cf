#include "driver/verbose_lines.h"

#include <vector>

#include "base/line_escape.h"

namespace rover {

namespace {

// Of a late reply's bytes, this many are shown; the rest are counted.
constexpr std::size_t kShownBytes = 60;

std::string receivedSoFar(std::string_view bytes) {
  if (bytes.empty()) return "received nothing";
  std::string text = "received \"" + escapeLine(bytes.substr(0, kShownBytes)) + "\"";
  if (bytes.size() > kShownBytes) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  // The classic mistake: a reply ended by ";\n" never has its bare ";".
  if (bytes.find('\n') != std::string_view::npos) {
    text += "; a newline is part of a command, so \";\\n\" does not end a reply";
  }
  return text;
}

}  // namespace

std::string verboseFailureLine(const Failure& failure) {
  std::vector<std::string> parts;
  if (const auto& at = failure.position(); at && at->line > 0) {
    parts.push_back("line " + std::to_string(at->line) + ", column " + std::to_string(at->column));
  }
  // "Fail" is the generic kind, which says nothing a message or detail does not.
  if (failure.message()) {
    parts.push_back(*failure.message());
  } else if (failure.kind() != FailureKind::Fail || !failure.detail()) {
    parts.push_back(failure.kindName());
  }
  if (failure.detail()) parts.push_back(*failure.detail());
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ": ") + part;
  return "server: " + escapeLine(text) + "\n";
}

void VerboseReplies::replyTimed(const ReplyTiming& timing) {
  const std::string t = "T " + waitAt_.runTime.millisText();
  if (timing.arrival == ReplyTiming::Arrival::Late) {
    std::string line = "reply to " + t + " late";
    if (timeoutMillis_) line += " after " + std::to_string(*timeoutMillis_) + " ms";
    print(line + ": no bare ';' yet; " + receivedSoFar(timing.unfinished));
  } else if (timing.arrival == ReplyTiming::Arrival::Ahead && !aheadSeen_) {
    aheadSeen_ = true;
    print("the reply to " + t +
          " had arrived before that T was sent: more than one reply per T puts the controller out of "
          "step (said once)");
  }
}

void VerboseReplies::print(const std::string& text) {
  std::fputs(("server: " + text + "\n").c_str(), err_);
  std::fflush(err_);
}

}  // namespace rover
