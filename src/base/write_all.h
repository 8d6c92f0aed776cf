#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>

namespace rover {

// Writes every byte of [data, data + size) through `writeSome`, a call like
// write(2) or send(2) that returns the count written or -1 with errno set,
// again after a short write or an interruption (EINTR). Returns 0, or the
// errno of the call that failed.
template <class WriteSome>
int writeAll(const char* data, std::size_t size, WriteSome writeSome) {
  while (size > 0) {
    const ssize_t written = writeSome(data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace rover
