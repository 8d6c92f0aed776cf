#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "record/record_output.h"
#include "record_file.h"

namespace rover::replay {

// Takes the lines a replayed game writes and compares each with the
// recorded line in the same place, stopping the replay (a Failure) at the
// first difference, or when the record has no more lines to compare.
class LineComparer final : public RecordOutput {
 public:
  // Compares the first `comparable` lines of the record.
  LineComparer(const RecordFile& record, std::size_t comparable) : record_(record), comparable_(comparable) {}

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

 private:
  void compare(const std::string& line);

  const RecordFile& record_;
  std::size_t comparable_;
  std::string partial_;
};

}  // namespace rover::replay
