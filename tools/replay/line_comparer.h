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

  // Lines compared and found identical so far.
  std::size_t matched() const { return next_; }
  // The first difference, once one was found: the line number and both texts.
  struct Difference {
    std::size_t line = 0;
    std::string recorded;
    std::string replayed;
  };
  const std::optional<Difference>& difference() const { return difference_; }
  // True once the replay went past the last line the record holds.
  bool beyondRecord() const { return beyondRecord_; }

 private:
  void compare(const std::string& line);

  const RecordFile& record_;
  std::size_t comparable_;
  std::size_t next_ = 0;
  std::string partial_;
  std::optional<Difference> difference_;
  bool beyondRecord_ = false;
};

}  // namespace rover::replay
