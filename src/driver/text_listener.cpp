#include "driver/text_listener.h"

namespace rover {

void TextListener::runStarted(const MapSpec&, int) {
  if (!announceStarts_) return;  // window mode shows the run in its window instead
  std::fputs("starting round\n", out_);
  std::fflush(out_);
}

void TextListener::runEnded(const RunReport& report) {
  std::fputs(report.resultLine.c_str(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace rover
