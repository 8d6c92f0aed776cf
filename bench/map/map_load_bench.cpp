// Map loading throughput in bytes per second, on files written once per run:
// the crowded generated map (about 5.9 MB, mostly 17-digit reals), a label-heavy
// map of about 20 MB (100,000 boulders), and the same with a comment inside
// every boulder. With ROVER_BENCH_RAPIDJSON the crowded map is also parsed by
// RapidJSON, correctly rounded and in its default mode, and the program ends
// with our speed as a fraction of each, measured in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "crowded_map.h"
#include "map/map_loader.h"

#ifdef ROVER_BENCH_RAPIDJSON
#include <rapidjson/document.h>
#endif

namespace {

constexpr int kBoulders = 100'000;

std::string labelledMap(bool withComments) {
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
  explicit MapFile(const std::string& contents) : size_(contents.size()) {
    char name[] = "/tmp/map_load_bench_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~MapFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }
  std::size_t size() const { return size_; }

 private:
  std::string path_;
  std::size_t size_;
};

// Each file is written on first use and removed at exit.
const MapFile& crowdedFile() {
  static const MapFile file(rover::bench::crowdedMapText({}));
  return file;
}
const MapFile& labelledFile(bool withComments) {
  static const MapFile plain(labelledMap(false));
  static const MapFile commented(labelledMap(true));
  return withComments ? commented : plain;
}

void countBytes(benchmark::State& state, const MapFile& file) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}

void loadFile(benchmark::State& state, const MapFile& file, std::size_t objects) {
  for (auto _ : state) {
    rover::MapSpec map = rover::loadMap(file.path());
    if (map.objects.size() != objects) state.SkipWithError("wrong object count");
    benchmark::DoNotOptimize(map);
  }
  countBytes(state, file);
}

void BM_LoadCrowdedMap(benchmark::State& state) {
  rover::bench::CrowdedMapShape shape;
  loadFile(state, crowdedFile(), static_cast<std::size_t>(shape.craters + shape.boulders) + 1);
}
void BM_LoadLabelledMap(benchmark::State& state) {
  loadFile(state, labelledFile(false), kBoulders + 2);
}
void BM_LoadLabelledMapWithComments(benchmark::State& state) {
  loadFile(state, labelledFile(true), kBoulders + 2);
}

BENCHMARK(BM_LoadCrowdedMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLabelledMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLabelledMapWithComments)->Unit(benchmark::kMillisecond);

#ifdef ROVER_BENCH_RAPIDJSON
// Reads the whole file and builds RapidJSON's document, as a whole-process
// load would; the document is checked for its run count so the parse is used.
template <unsigned kFlags>
void rapidJsonLoad(benchmark::State& state) {
  const MapFile& file = crowdedFile();
  std::string text;
  for (auto _ : state) {
    std::FILE* in = std::fopen(file.path().c_str(), "rb");
    if (in == nullptr) std::abort();
    text.resize(file.size());
    std::size_t got = std::fread(text.data(), 1, text.size(), in);
    std::fclose(in);
    text.resize(got);
    rapidjson::Document document;
    document.Parse<kFlags>(text.data(), text.size());
    if (document.HasParseError() || !document.IsObject() || !document["runs"].IsArray() ||
        document["runs"].Size() == 0) {
      state.SkipWithError("RapidJSON could not read the map");
    }
    benchmark::DoNotOptimize(document);
  }
  countBytes(state, file);
}
void BM_RapidJsonFullPrecision(benchmark::State& state) {
  rapidJsonLoad<rapidjson::kParseFullPrecisionFlag>(state);
}
void BM_RapidJsonDefault(benchmark::State& state) {
  rapidJsonLoad<rapidjson::kParseDefaultFlags>(state);
}
BENCHMARK(BM_RapidJsonFullPrecision)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RapidJsonDefault)->Unit(benchmark::kMillisecond);
#endif

// Prints as usual and remembers the best rate of each benchmark, so the
// ratios can be given at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      double& best = bestRate_[run.run_name.function_name];
      if (rate->second.value > best) best = rate->second.value;
    }
  }

  void printRatio(const char* ours, const char* theirs) const {
    auto a = bestRate_.find(ours);
    auto b = bestRate_.find(theirs);
    if (a == bestRate_.end() || b == bestRate_.end() || b->second <= 0) return;
    std::printf("%s / %s: %.2f (%.1f MB/s against %.1f MB/s, by CPU time)\n", ours, theirs,
                a->second / b->second, a->second / 1e6, b->second / 1e6);
  }

 private:
  std::map<std::string, double> bestRate_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatio("BM_LoadCrowdedMap", "BM_RapidJsonFullPrecision");
  reporter.printRatio("BM_LoadCrowdedMap", "BM_RapidJsonDefault");
  benchmark::Shutdown();
  return 0;
}
