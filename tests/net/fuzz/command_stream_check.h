#pragma once

#include <string>
#include <string_view>

namespace rover::fuzzing {

// What replaying one input gave.
struct StreamCheck {
  // The first disagreement between the reader and the model; empty if none.
  std::string mismatch;
  // A summary of what the input did (commands applied, the final control
  // state, and where it failed), kept beside each regression input.
  std::string outcome;
};

// Decodes `input` into operations, runs each on a CommandReader over a
// MemoryTransport and on the FramingModel, and compares them after every
// operation. The input is read byte by byte; each operation byte b is
//   b % 4 == 0: push a chunk of the next b / 4 bytes;
//   b % 4 == 1: push a chunk of the next b / 4 bytes (the pattern) repeated
//               8 * (c + 1) times, c being the byte after b, at most 4096 bytes;
//   b % 4 == 2: by b / 4 % 4: 0 an input poll, 1 the run-start drain, 2 read one
//               command, 3 close the input;
//   b % 4 == 3: an input poll.
// Input that ends early gives shorter chunks. At most 64 KiB are pushed in
// all. Unless an operation failed, a final ";" is pushed, the input closed
// and commands read until the failure that must come, so that whatever was
// still pending is compared too.
StreamCheck checkCommandStream(std::string_view input);

}  // namespace rover::fuzzing
