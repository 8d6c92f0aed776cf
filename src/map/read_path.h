#pragma once

namespace rover {

// How the JSON reader walks its input. Both give the same tokens, values and
// failures at the same places; the character-by-character path decodes every
// character through the UTF-8 reader and is kept as the reference that the
// fast path is checked against.
enum class ReadPath {
  Fast,  // scans runs of buffered ASCII bytes directly
  CharacterByCharacter,
};

}  // namespace rover
