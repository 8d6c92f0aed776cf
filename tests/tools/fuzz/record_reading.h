#pragma once

#include <string>

namespace rover::replay {

// Reads a record's bytes with every command of the replay tool (summary,
// results, a drawing with and without a moment, verify); failures are the
// expected answer to bad input and are dropped. Shared by the fuzzer and the
// test that replays its kept inputs.
void readEveryWay(const std::string& bytes);

}  // namespace rover::replay
