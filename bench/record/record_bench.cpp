// What recording costs the game's loop per event: the record writer turns
// each event into a JSON line and hands it to its output; the file itself is
// written on another thread. Here the output only keeps the byte count.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "record/record_output.h"
#include "record/record_writer.h"
#include "sim/motion.h"

namespace rover {
namespace {

class CountingOutput final : public RecordOutput {
 public:
  void write(std::string_view bytes) override { bytes_ += bytes.size(); }
  void flush() override {}
  void close() override {}
  std::size_t bytes_ = 0;
};

MapSpec smallMap() {
  MapSpec map;
  map.halfSize = 50;
  map.timeLimitMillis = 60000;
  map.objects.push_back(homeObject());
  RunSpec run;
  run.startState = startMotionState(30, 30, 0, 0);
  map.runs.push_back(run);
  return map;
}

World worldWithMartians(int count) {
  World world;
  world.rover = startMotionState(12.345, -6.5, 90, 3.25);
  for (int i = 0; i < count; ++i) {
    Martian m;
    m.index = i;
    m.motion = startMotionState(i * 3.0, -i * 2.0, i * 17.0, 1.5);
    world.martians.push_back(m);
  }
  return world;
}

void BM_StepLine(benchmark::State& state) {
  CountingOutput out;
  const MapSpec map = smallMap();
  RecordWriter writer(out, GameInfo{}, map);
  const World world = worldWithMartians(static_cast<int>(state.range(0)));
  const StepResult result;
  Stamp at{1, TimeValue::fromMillis(1230)};
  for (auto _ : state) writer.stepped(at, world, result);
  state.SetBytesProcessed(static_cast<std::int64_t>(out.bytes_));
}
BENCHMARK(BM_StepLine)->Arg(0)->Arg(5)->Arg(50);

void BM_TelemetryMessageLine(benchmark::State& state) {
  CountingOutput out;
  const MapSpec map = smallMap();
  RecordWriter writer(out, GameInfo{}, map);
  std::string text = "T 1230 a- 12.345 -6.500 90.0 3.250 ";
  while (text.size() < static_cast<std::size_t>(state.range(0))) text += "b 15.000 -7.000 2.000 ";
  text += ";";
  Stamp at{1, TimeValue::fromMillis(1230)};
  for (auto _ : state) writer.messageSent(at, text);
  state.SetBytesProcessed(static_cast<std::int64_t>(out.bytes_));
}
BENCHMARK(BM_TelemetryMessageLine)->Arg(60)->Arg(1500);

}  // namespace
}  // namespace rover

BENCHMARK_MAIN();
