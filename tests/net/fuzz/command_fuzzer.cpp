// Feeds arbitrary byte streams, cut into arbitrary chunks, through the
// command reader's input polls, drains and reads: each must agree with the
// framing model (same commands, same control state, same failure at the
// same operation), and nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "command_stream_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const rover::fuzzing::StreamCheck check =
      rover::fuzzing::checkCommandStream(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!check.mismatch.empty()) {
    std::fprintf(stderr, "reader and model disagree: %s\n", check.mismatch.c_str());
    std::abort();
  }
  return 0;
}
