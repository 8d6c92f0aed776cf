#include "driver/command_line.h"

#include <cstddef>

#include "base/failure.h"

namespace rover {

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::int32_t readPort(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-' || text[i] == '~')) {
    negative = text[i] != '+';
    ++i;
  }
  if (i >= text.size() || !isDigit(text[i])) raiseKind(FailureKind::Option);
  // The magnitude may reach 2^31 only for a negative number; stop as soon as
  // it leaves that range so arbitrarily long digit strings are safe.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) raiseKind(FailureKind::Overflow);
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

ServerSettings parseCommandLine(const std::vector<std::string>& arguments) {
  ServerSettings settings;
  std::size_t next = 0;
  for (;;) {
    const std::size_t left = arguments.size() - next;
    if (left == 0) raiseKind(FailureKind::Usage);
    const std::string& first = arguments[next];
    if (first == "-p" && left >= 2) {
      settings.port = readPort(arguments[next + 1]);
      next += 2;
    } else if (first == "-v") {
      if (left == 1) raiseKind(FailureKind::Usage);
      settings.showWindow = true;
      next += 1;
    } else if (left == 1) {
      settings.mapFile = first;
      return settings;
    } else {
      raiseKind(FailureKind::Usage);
    }
  }
}

}  // namespace rover
