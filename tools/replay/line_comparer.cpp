#include "line_comparer.h"

#include "base/failure.h"

namespace rover::replay {

void LineComparer::write(std::string_view bytes) {
  partial_.append(bytes);
  std::size_t start = 0;
  for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
    compare(std::string_view(partial_).substr(start, end - start));
  }
  partial_.erase(0, start);
}

void LineComparer::compare(std::string_view line) {
  const std::size_t number = matched + 1;
  const std::string* recorded = record_.line(number);
  // A game the window's "q" ended, or one whose record stops without a
  // footer, can be replayed only as far as the record goes.
  if (recorded == nullptr) {
    beyondRecord = true;
    throw Failure(FailureKind::Empty, "the record ends here");
  }
  if (line != *recorded) {
    difference = Difference{number, *recorded, std::string(line)};
    throw Failure(FailureKind::Fail, "the replay differs from the record");
  }
  const std::size_t type = record_.type(number);
  runs += type == lineType<RunEndLine>();
  messages += type == lineType<MsgLine>();
  steps += type == lineType<StepLine>();
  ++matched;
  record_.dropBefore(matched + 1);
}

}  // namespace rover::replay
