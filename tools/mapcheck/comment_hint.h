#pragma once

#include <string>

namespace rover {

// Whether the bytes hold "//" outside JSON strings: notes pasted from a page
// that annotates a map, which the map reader does not take as comments.
bool hasSlashNotes(const std::string& bytes);

// The hint line mapcheck adds after the failure of a map that has such notes,
// or "" when it has none (or cannot be read again).
std::string slashNotesHint(const std::string& path);

}  // namespace rover
