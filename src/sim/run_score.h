#pragma once

#include "base/time_value.h"
#include "sim/world_step.h"

namespace rover {

// A run's score from how it ended (outcomeText names each outcome), its run
// time and the map's time limit; lower is better:
//   reached home           the run time
//   time limit exceeded    limit + 100 ms
//   crashed into crater    1000 ms + 2 x limit - run time
//   killed by Martian       600 ms + 2 x limit - run time
TimeValue runScore(Outcome outcome, const TimeValue& runTime, const TimeValue& limit);

}  // namespace rover
