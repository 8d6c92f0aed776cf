// map_gen: writes the map reader's benchmark maps (bench/map/bench_maps.h).
//
//   map_gen [FILE]              the crowded map (about 5.9 MB) to FILE or standard output
//   map_gen --map NAME [FILE]   the map of that name
//   map_gen --all DIR           every map, as DIR/NAME.json
#include <cstdio>
#include <string>

#include "bench_maps.h"

namespace {

bool writeFile(const std::string& text, const char* path) {
  std::FILE* out = path != nullptr ? std::fopen(path, "wb") : stdout;
  if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
      std::fclose(out) != 0) {
    std::perror(path != nullptr ? path : "map_gen");
    return false;
  }
  return true;
}

int usage() {
  std::fputs("usage: map_gen [file] | map_gen --map NAME [file] | map_gen --all DIR\nmaps:", stderr);
  for (const rover::bench::BenchMap& map : rover::bench::benchMaps())
    std::fprintf(stderr, " %s", map.name.c_str());
  std::fputs("\n", stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using rover::bench::BenchMap;
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--all") {
    if (argc != 3) return usage();
    for (const BenchMap& map : rover::bench::benchMaps()) {
      const std::string path = std::string(argv[2]) + "/" + map.name + ".json";
      if (!writeFile(map.text(), path.c_str())) return 1;
    }
    return 0;
  }
  if (first == "--map") {
    const BenchMap* map = argc == 3 || argc == 4 ? rover::bench::findBenchMap(argv[2]) : nullptr;
    if (map == nullptr) return usage();
    return writeFile(map->text(), argc == 4 ? argv[3] : nullptr) ? 0 : 1;
  }
  if (argc > 2) return usage();
  return writeFile(rover::bench::findBenchMap("crowded")->text(), argc == 2 ? argv[1] : nullptr) ? 0 : 1;
}
