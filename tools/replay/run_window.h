#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "base/failure.h"
#include "record_reader.h"

namespace rover::replay {

// The index in RecordEntry of a line type, as RunWindow::type() gives it.
template <class Line, std::size_t I = 0>
constexpr std::size_t lineType() {
  if constexpr (std::is_same_v<Line, std::variant_alternative_t<I, RecordEntry>>) {
    return I;
  } else {
    return lineType<Line, I + 1>();
  }
}

// One recorded input event: the bytes or the end of stream one receive got,
// or a lockstep reply given up on.
struct RecordedInput {
  enum class Kind { Bytes, EndOfStream, Late };
  Kind kind = Kind::Bytes;
  InputPhase phase = InputPhase::Poll;
  int run = 0;
  std::string runMillis;  // the read's stamp
  std::string bytes;
};

// How the recorded game failed where a replay must fail the same way: in a
// receive, or in a send after so many messages. Known from the footer.
struct RecordedFailures {
  std::optional<Failure> receive;
  std::optional<Failure> send;
  std::uint64_t messagesBeforeSend = 0;
};

// What verify holds of a record while it replays it: the lines from the
// first one not yet compared through the end of the run being replayed (up
// to the next run_start), and the inputs recorded there. Every read of a
// run's input happens after its run_start line was compared, so a run's
// inputs are all here when the replay asks for them, and memory holds about
// one run, whatever the record's length.
class RunWindow {
 public:
  // Reads from `record`, whose header is read already (line 1).
  explicit RunWindow(RecordReader& record) : record_(record) {}

  // Recorded line `number` (the first line not dropped, or later), reading
  // on through the end of its run; nullptr past the last line a replay is
  // compared with (the end of the record, or a footer of a game quit from
  // its window). A line that cannot be read is kept in readFailure() and
  // raised, which stops the replay.
  const std::string* line(std::size_t number);
  // The index in RecordEntry of that line's type.
  std::size_t type(std::size_t number) const { return lines_[number - first_].type; }
  // Forgets the lines before `number`: they were compared.
  void dropBefore(std::size_t number);

  // The inputs of the lines read so far that no receive has taken yet.
  std::deque<RecordedInput>& inputs() { return inputs_; }
  const RecordedFailures& failures() const { return failures_; }
  // Every line of the record has been read (and checked).
  bool atEnd() const { return atEnd_; }
  // Reads and checks the rest of the record; raises what a line holds wrong.
  void readToEnd();
  const std::optional<FooterLine>& footer() const { return record_.footer(); }
  const std::optional<Failure>& readFailure() const { return readFailure_; }

 private:
  struct Line {
    std::string text;
    std::size_t type = 0;
  };
  // Reads one more line; false at the end.
  bool readOne();

  RecordReader& record_;
  std::deque<Line> lines_;  // lines first_, first_ + 1, ...
  std::size_t first_ = 1;   // the header (line 1), read already, comes first
  std::deque<RecordedInput> inputs_;
  RecordedFailures failures_;
  bool atEnd_ = false;
  bool quitFooter_ = false;
  std::optional<Failure> readFailure_;
};

}  // namespace rover::replay
