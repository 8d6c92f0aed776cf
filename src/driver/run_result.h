#pragma once

#include <gmpxx.h>

#include "sim/world_step.h"

namespace rover {

// How one finished run ended and what it scored, in whole milliseconds.
struct RunResult {
  Outcome outcome = Outcome::TimeLimitExceeded;
  mpz_class scoreMillis;
};

}  // namespace rover
