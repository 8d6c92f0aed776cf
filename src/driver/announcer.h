#pragma once

#include "map/map_spec.h"

namespace rover {

// What a run start shows: text mode writes "starting round"; window mode
// builds the run's display lists.
class RoundAnnouncer {
 public:
  virtual ~RoundAnnouncer() = default;
  virtual void announceRound(const MapSpec& map) = 0;
};

}  // namespace rover
