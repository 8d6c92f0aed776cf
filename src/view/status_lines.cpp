#include "view/status_lines.h"

#include "base/fixed_point_text.h"
#include "sim/world_step.h"

namespace rover {

std::vector<std::string> statusLines(const std::vector<RunReport>& results, int currentRun, bool runInPlay,
                                     const TimeValue& elapsed) {
  std::vector<std::string> lines;
  int number = 0;
  for (const RunReport& result : results) {
    ++number;
    lines.push_back("Run " + std::to_string(number) + ": " + outcomeText(result.outcome) +
                    "; score = " + integerText(result.scoreMillis));
  }
  if (runInPlay) {
    const double seconds = elapsed.nanos().get_d() / 1e9;
    lines.push_back("Run " + std::to_string(currentRun) + ": " + formatReal(seconds, 1) + " sec");
  }
  return lines;
}

}  // namespace rover
