#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "record/record_lines.h"

namespace rover {

// Arrays and objects in a record line nest at most this deep; real lines
// nest five deep at most. A deeper line is refused before it is parsed, so
// no parse can run out of stack.
inline constexpr int kMaxLineNesting = 64;

// Reads line `number` (1-based) of a record as the line type its "type"
// names, member by member as record/record_lines.h lists them; members it
// does not know are ignored. A header must first name this format and
// version. Fails (a Failure positioned at the line) saying what is wrong:
// nested too deep, not JSON, an unknown type, a missing member, a value of
// the wrong type.
// Built on RapidJSON, for the tools that read records; the server never does.
RecordEntry readRecordLine(std::string_view text, std::size_t number);

// A Failure positioned at line `number`, for what a reader finds wrong there.
[[noreturn]] void failAtLine(std::size_t number, const std::string& what);

}  // namespace rover
