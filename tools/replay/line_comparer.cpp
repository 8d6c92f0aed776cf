#include "line_comparer.h"

#include "base/failure.h"

namespace rover::replay {

void LineComparer::write(std::string_view bytes) {
  partial_.append(bytes);
  std::size_t start = 0;
  for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
    compare(partial_.substr(start, end - start));
  }
  partial_.erase(0, start);
}

void LineComparer::compare(const std::string& line) {
  // A game the window's "q" ended, or one whose record stops without a
  // footer, can be replayed only as far as the record goes.
  if (matched >= comparable_) {
    beyondRecord = true;
    throw Failure(FailureKind::Empty, "the record ends here");
  }
  if (line != record_.lines[matched]) {
    difference = Difference{matched + 1, record_.lines[matched], line};
    throw Failure(FailureKind::Fail, "the replay differs from the record");
  }
  ++matched;
}

}  // namespace rover::replay
