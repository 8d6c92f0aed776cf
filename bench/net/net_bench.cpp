// How long the protocol work of one tick takes: a telemetry message with a
// crowded view, one real written to the wire, and draining a full input budget.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/fixed_point_text.h"
#include "net/command_reader.h"
#include "net/memory_transport.h"
#include "net/messages.h"
#include "net/wire_format.h"
#include "sim/static_objects.h"

namespace rover {
namespace {

void BM_FormatReal(benchmark::State& state) {
  double x = -123.4567;
  for (auto _ : state) {
    benchmark::DoNotOptimize(formatReal(x, 3));
    x += 0.001;
  }
}
BENCHMARK(BM_FormatReal);

void BM_TelemetryMessage(benchmark::State& state) {
  const auto objects = static_cast<std::size_t>(state.range(0));
  World world;
  world.rover.position = {12.345, -6.0};
  std::vector<std::size_t> visible;
  std::vector<WorldObject> boulders;
  for (std::size_t i = 0; i < objects; ++i) {
    const double at = static_cast<double>(i);
    boulders.push_back(WorldObject{ObjectKind::Boulder, {{at, -at}, 1.5}, static_cast<int>(i)});
    visible.push_back(i);
  }
  world.roverObjects = RoverObjects({}, std::make_shared<const StaticObjects>(boulders));
  MemoryTransport transport;
  OutputBuffer out(transport);
  const StaticObjectText text(*world.roverObjects.statics());
  for (auto _ : state) {
    sendTelemetry(out, TimeValue::fromMillis(123456), world, visible, text);
    out.clearText();
    transport.clearSent();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_TelemetryMessage)->Arg(0)->Arg(20)->Arg(200);

void BM_Drain999Commands(benchmark::State& state) {
  std::string input;
  for (int i = 0; i < 999; ++i) input += "al;";
  for (auto _ : state) {
    MemoryTransport transport;
    CommandReader reader(transport);
    transport.pushInput(input);
    drainCommands(reader);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 999);
}
BENCHMARK(BM_Drain999Commands);

}  // namespace
}  // namespace rover
