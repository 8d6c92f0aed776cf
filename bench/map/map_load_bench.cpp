// Loads a generated map of about 20 MB (100,000 boulders) from a file, with
// and without a comment inside every boulder, and reports bytes per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "map/map_loader.h"

namespace {

constexpr int kBoulders = 100'000;

std::string generateMap(bool withComments) {
  std::string text = R"({
  "size": 2000, "timeLimit": 600000,
  "vehicleParams": {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60,
                    "rotAccel": 120, "frontView": 30, "rearView": 5},
  "martianParams": {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60,
                    "rotAccel": 120, "frontView": 30, "rearView": 5},
  "craters": [{"x": 10, "y": -20, "r": 3}],
  "runs": [{"vehicle": {"x": 40, "y": 40, "dir": -135},
            "enemies": [{"x": -30, "y": 0, "dir": 90, "speed": 1.5, "view": 20}]}],
  "boulders": [
)";
  const std::string label(110, 'b');
  char line[512];
  for (int i = 0; i < kBoulders; ++i) {
    double x = -999.0 + (i % 1999) * 0.9993214123;
    double y = 999.0 - (i / 100) * 1.8671259341;
    std::snprintf(line, sizeof line,
                  "    {\"x\": %.13f, \"y\": %.13f, %s\"r\": %d.%04d, \"label\": \"%s %06d\"}%s\n", x, y,
                  withComments ? "/* boulder */ " : "", 1 + i % 3, i % 10000, label.c_str(), i,
                  i + 1 < kBoulders ? "," : "");
    text += line;
  }
  text += "  ]\n}\n";
  return text;
}

class MapFile {
 public:
  explicit MapFile(const std::string& contents) {
    char name[] = "/tmp/map_load_bench_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~MapFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void loadGeneratedMap(benchmark::State& state, bool withComments) {
  std::string text = generateMap(withComments);
  MapFile file(text);
  for (auto _ : state) {
    rover::MapSpec map = rover::loadMap(file.path());
    if (map.objects.size() != kBoulders + 2) state.SkipWithError("wrong object count");
    benchmark::DoNotOptimize(map);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_LoadMap(benchmark::State& state) {
  loadGeneratedMap(state, false);
}
void BM_LoadMapWithComments(benchmark::State& state) {
  loadGeneratedMap(state, true);
}

BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMapWithComments)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
