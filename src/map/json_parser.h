#pragma once

#include <cstddef>

#include "map/byte_source.h"
#include "map/json_document.h"

namespace rover {

// Open arrays and objects allowed at once. Deeper input fails with "Fail"
// ("nesting too deep"): it bounds the memory a hostile file can take.
inline constexpr std::size_t kMaxJsonNesting = 1'000'000;

// Parses the first JSON value of the input and stops right after it. Syntax
// errors raise "Fail" with the reader's message, bad UTF-8 "Incomplete";
// both carry the place in the input where the reader found them.
JsonDocument parseJson(ByteSource& source);

}  // namespace rover
