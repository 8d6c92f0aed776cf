// Map loading throughput in bytes per second, on the benchmark's maps
// (bench_maps.h), each written to a file once per run. With
// ROVER_BENCH_RAPIDJSON each map is also parsed by RapidJSON with the flags
// of bench/map/rapidjson_load.cpp (comments, correctly rounded reals, no
// recursion), and the program ends with our speed as a fraction of
// RapidJSON's on each, measured in the same run. The whole-process
// comparison is bench/map/compare_map_readers.py.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench_maps.h"
#include "map/map_loader.h"

#ifdef ROVER_BENCH_RAPIDJSON
#include <rapidjson/document.h>
#endif

namespace {

using rover::bench::BenchMap;

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
const MapFile& fileOf(const BenchMap& map) {
  static std::map<std::string, std::unique_ptr<MapFile>> files;
  std::unique_ptr<MapFile>& file = files[map.name];
  if (!file) file = std::make_unique<MapFile>(map.text());
  return *file;
}

void countBytes(benchmark::State& state, const MapFile& file) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}

void loadFile(benchmark::State& state, const BenchMap& map) {
  const MapFile& file = fileOf(map);
  for (auto _ : state) {
    rover::MapSpec loaded = rover::loadMap(file.path());
    if (loaded.objects.size() != map.objects) state.SkipWithError("wrong object count");
    benchmark::DoNotOptimize(loaded);
  }
  countBytes(state, file);
}

#ifdef ROVER_BENCH_RAPIDJSON
// Reads the whole file and builds RapidJSON's document, as a whole-process
// load would; the document is checked for its boulders so the parse is used.
void rapidJsonLoad(benchmark::State& state, const BenchMap& map) {
  constexpr unsigned kFlags =
      rapidjson::kParseCommentsFlag | rapidjson::kParseFullPrecisionFlag | rapidjson::kParseIterativeFlag;
  const MapFile& file = fileOf(map);
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
    if (document.HasParseError() || !document.IsObject() || !document["boulders"].IsArray()) {
      state.SkipWithError("RapidJSON could not read the map");
    }
    benchmark::DoNotOptimize(document);
  }
  countBytes(state, file);
}
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
  for (const BenchMap& map : rover::bench::benchMaps()) {
    benchmark::RegisterBenchmark(("Load/" + map.name).c_str(), loadFile, map)->Unit(benchmark::kMillisecond);
#ifdef ROVER_BENCH_RAPIDJSON
    benchmark::RegisterBenchmark(("RapidJson/" + map.name).c_str(), rapidJsonLoad, map)
        ->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const BenchMap& map : rover::bench::benchMaps()) {
    reporter.printRatio(("Load/" + map.name).c_str(), ("RapidJson/" + map.name).c_str());
  }
  benchmark::Shutdown();
  return 0;
}
