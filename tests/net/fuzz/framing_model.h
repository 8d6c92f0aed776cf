#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rover::fuzzing {

// The client's command framing, written as plainly as it can be over the
// whole stream the client has sent so far. It knows nothing of receives or
// buffers: it is the oracle the command reader is checked against, and the
// reader must agree with it however the stream is cut into chunks.
class FramingModel {
 public:
  // A failure's message ("EOF", ...): every failure of the framing is a Fail.
  using Failed = std::optional<std::string>;

  // Accel -1 (brake) .. 1 and turn -2 (hard right) .. 2.
  struct Control {
    int accel = 0;
    int turn = 0;
  };

  void push(std::string_view bytes) { stream_ += bytes; }
  void close() { closed_ = true; }

  // The next command without its ";" into `command` ("" when none is complete
  // yet, or for a bare ";").
  Failed read(std::string& command);
  // Applies commands in order until a read gives "", appending each word.
  Failed poll(Control& control, std::vector<std::string>& applied);
  // Discards commands until a read gives ""; the 1000th fails.
  Failed drain();

 private:
  std::string stream_;
  std::size_t next_ = 0;  // where the unfinished command starts
  bool closed_ = false;
};

}  // namespace rover::fuzzing
