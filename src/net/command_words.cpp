#include "net/command_words.h"

#include <string>

#include "base/failure.h"

namespace rover {

ControlCommand parseCommandWord(std::string_view word) {
  struct Entry {
    std::string_view word;
    ControlCommand command;
  };
  static constexpr Entry kWords[] = {
      {"a", {1, 0}},  {"b", {-1, 0}},  {"l", {0, 1}},   {"r", {0, -1}},
      {"al", {1, 1}}, {"ar", {1, -1}}, {"bl", {-1, 1}}, {"br", {-1, -1}},
  };
  for (const Entry& entry : kWords) {
    if (entry.word == word) return entry.command;
  }
  std::string message = "illegal command \"";
  message += word;
  message += '"';
  throw Failure(FailureKind::Fail, std::move(message))
      .because("the commands are a, b, l, r, al, ar, bl and br, each ended by ';'");
}

}  // namespace rover
