#include "comment_hint.h"

#include <fstream>
#include <iterator>

namespace rover {

bool hasSlashNotes(const std::string& bytes) {
  bool inString = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (inString) {
      if (c == '\\') {
        ++i;  // the escaped character, a quote included
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '/' && i + 1 < bytes.size() && bytes[i + 1] == '/') {
      return true;
    }
  }
  return false;
}

std::string slashNotesHint(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (!hasSlashNotes(bytes)) return "";
  return "hint: the map holds \"//\" outside its strings; JSON has no // comments (a note with a comma in it "
         "hides the member after it): remove the notes, or write them as /* ... */\n";
}

}  // namespace rover
