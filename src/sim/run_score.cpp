#include "sim/run_score.h"

namespace rover {

TimeValue runScore(Outcome outcome, const TimeValue& runTime, const TimeValue& limit) {
  const auto millis = [](std::int64_t ms) { return TimeValue::fromMillis(ms); };
  switch (outcome) {
    case Outcome::KilledByMartian:
      return millis(600) + limit + limit - runTime;
    case Outcome::CrashedIntoCrater:
      return millis(1000) + limit + limit - runTime;
    case Outcome::TimeLimitExceeded:
      return limit + millis(100);
    case Outcome::ReachedHome:
      break;
  }
  return runTime;
}

}  // namespace rover
