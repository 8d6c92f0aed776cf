#include "driver/text_announcer.h"

namespace rover {

void TextAnnouncer::announceRound(const MapSpec&) {
  std::fputs("starting round\n", out_);
  std::fflush(out_);
}

}  // namespace rover
