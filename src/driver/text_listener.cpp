#include "driver/text_listener.h"

namespace rover {

void TextListener::runStarted(const MapSpec&, int) {
  if (starts_ == RunStarts::Silent) return;
  std::fputs("starting round\n", out_);
  std::fflush(out_);
}

void TextListener::runResult(const RunReport& report) {
  std::fputs(report.resultLine.c_str(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace rover
