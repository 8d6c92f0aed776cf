#pragma once

#include <cstdint>
#include <string>

namespace rover::bench {

// The shape of a generated crowded map: a 2,000 m terrain with scattered
// craters and boulders, and runs that each bring their own Martians.
struct CrowdedMapShape {
  int craters = 5'000;
  int boulders = 5'000;
  int runs = 40;
  int martiansPerRun = 1'000;
  std::uint64_t seed = 14;
};

// The map's JSON text, one object per line. Coordinates, radii, headings and
// speeds are random doubles written in their shortest round-trip form (as a
// script that dumps random floats would), so most reals carry 15 to 17
// significant digits: the hard case for a correctly rounded reader. The same
// shape and seed always give the same bytes.
std::string crowdedMapText(const CrowdedMapShape& shape);

}  // namespace rover::bench
