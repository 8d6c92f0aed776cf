#pragma once

#include <string_view>

#include "sim/motion.h"

namespace rover {

// The command a client word stands for, one notch per letter: "a", "b",
// "l", "r", "al", "ar", "bl", "br". The comparison is exact and
// case-sensitive; any other word fails with "illegal command \"<word>\"",
// the word as received.
ControlCommand parseCommandWord(std::string_view word);

}  // namespace rover
