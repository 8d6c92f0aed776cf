#include "net/recording_transport.h"

namespace rover {

std::optional<std::size_t> RecordingTransport::receive(char* buffer, std::size_t capacity) {
  observer_.receiving();
  const std::optional<std::size_t> got = inner_.receive(buffer, capacity);
  if (got) observer_.received(std::string_view(buffer, *got), *got == 0);
  return got;
}

}  // namespace rover
