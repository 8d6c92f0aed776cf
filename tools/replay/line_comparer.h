#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "record/record_output.h"
#include "run_window.h"

namespace rover::replay {

// Takes the lines a replayed game writes and compares each with the
// recorded line in the same place, stopping the replay (a Failure) at the
// first difference, or when the record has no more lines to compare.
class LineComparer final : public RecordOutput {
 public:
  explicit LineComparer(RunWindow& record) : record_(record) {}

  void write(std::string_view bytes) override;
  void flush() override {}
  void close() override {}

  // The first difference, once one was found: the line number and both texts.
  struct Difference {
    std::size_t line = 0;
    std::string recorded;
    std::string replayed;
  };
  std::size_t matched = 0;  // lines compared and found identical so far
  std::optional<Difference> difference;
  bool beyondRecord = false;  // the replay went past the last line the record holds
  // Among the lines matched: run_end, msg and step lines.
  std::size_t runs = 0, messages = 0, steps = 0;

 private:
  void compare(std::string_view line);

  RunWindow& record_;
  std::string partial_;
};

}  // namespace rover::replay
