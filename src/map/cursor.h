#pragma once

#include <cstdint>

#include "base/source_position.h"

namespace rover {

// A position in the input: the byte offset, and what the line and column of
// the character that starts there follow from. Cursors are plain values, so
// a lexer can keep one and come back to it.
//
// This is the one place where lines and columns are counted. A column is
// one more than the characters between the line's start and the offset,
// that is the bytes there less the UTF-8 continuation bytes; so moving over
// ASCII other than a line feed only moves the offset.
struct Cursor {
  std::uint64_t offset = 0;
  std::uint64_t lineStart = 0;      // offset of the first byte of the line
  std::uint64_t continuations = 0;  // continuation bytes from lineStart to offset
  std::uint32_t line = 1;

  SourcePosition position() const {
    // Lines and columns wrap as 32-bit counters would.
    return {line, static_cast<std::uint32_t>(offset - lineStart - continuations + 1)};
  }

  // Past `length` bytes of ASCII other than line feeds.
  void skipPlain(std::uint64_t length) { offset += length; }

  // Past a line feed at `at` (at >= offset); what lies between is plain ASCII.
  void lineFeedAt(std::uint64_t at) {
    offset = at + 1;
    lineStart = offset;
    continuations = 0;
    ++line;
  }

  // Past one decoded character of `length` bytes.
  void skipCharacter(char32_t value, std::uint32_t length) {
    if (value == U'\n') {
      lineFeedAt(offset);
    } else {
      offset += length;
      continuations += length - 1;
    }
  }

  // Past bytes of valid UTF-8 held in [begin, end), which start at offset.
  void skipBytes(const unsigned char* begin, const unsigned char* end) {
    for (const unsigned char* p = begin; p < end; ++p) {
      if (*p == '\n') {
        lineFeedAt(offset + static_cast<std::uint64_t>(p - begin));
        begin = p + 1;
      } else if ((*p & 0xC0) == 0x80) {
        ++continuations;
      }
    }
    offset += static_cast<std::uint64_t>(end - begin);
  }
};

}  // namespace rover
