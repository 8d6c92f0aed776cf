#pragma once

#include <cstdint>

#include "sim/world.h"

namespace rover {

// FNV-1a (64 bit) over the exact bits of every mover's state: the rover's
// motion and controls, then each live Martian's index, motion, controls and
// wander angle, in list order. A record keeps it per physics step, so a
// replay proves the simulation identical without storing full precision.
std::uint64_t moverHash(const World& world);

}  // namespace rover
