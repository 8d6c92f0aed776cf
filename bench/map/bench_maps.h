#pragma once

#include <string>
#include <vector>

namespace rover::bench {

// One of the maps the reader's speed is measured on, with the number of
// static objects (Home included) a load of it gives.
struct BenchMap {
  std::string name;
  std::string (*text)();
  std::size_t objects;
};

// The benchmark's maps, each with what it stresses:
//   crowded     5.9 MB, mostly 17-digit reals (bench/map/crowded_map.h)
//   labelled    about 20 MB: 100,000 boulders with a long string member
//   commented   the same with a comment between two members of each boulder
//   small       400,000 boulders of short integers: per-token and per-object costs
//   nested      20,000 boulders, each with a member nested 50 deep that the map ignores
const std::vector<BenchMap>& benchMaps();

// The map of that name, or nullptr.
const BenchMap* findBenchMap(const std::string& name);

}  // namespace rover::bench
