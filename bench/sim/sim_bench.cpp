#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "sim/martian.h"
#include "sim/sensing.h"
#include "sim/world.h"

namespace rover {
namespace {

VehicleParams params(double front, double rear) {
  VehicleParams p;
  p.maxSpeed = 4.0;
  p.accel = 2.0;
  p.brake = 3.0;
  p.turn = 20.0;
  p.hardTurn = 60.0;
  p.rotAccel = 200.0;
  p.frontView = front;
  p.rearView = rear;
  return p;
}

// A 1000 x 1000 field with home, 100 craters and 10,000 boulders scattered by
// a fixed generator, and 100 Martians spread across it.
struct DenseMap {
  std::vector<WorldObject> objects;
  World world;
};

DenseMap denseMap(int boulders) {
  Random random(3, 5);
  auto coordinate = [&] { return random.nextUnit() * 1000.0 - 500.0; };
  DenseMap map;
  map.objects.push_back({ObjectKind::Home, {{0.0, 0.0}, 5.0}, -1});
  for (int i = 0; i < 100; ++i) {
    map.objects.push_back(
        {ObjectKind::Crater, {{coordinate(), coordinate()}, 1.0 + 4.0 * random.nextUnit()}, -1});
  }
  for (int i = 0; i < boulders; ++i) {
    map.objects.push_back(
        {ObjectKind::Boulder, {{coordinate(), coordinate()}, 0.5 + 2.0 * random.nextUnit()}, -1});
  }
  map.world.rover = startMotionState(-20.0, 30.0, 30.0, 0.0);
  for (int i = 0; i < 100; ++i) {
    Martian m;
    m.index = i;
    m.view = 10.0;
    m.motion =
        startMotionState(coordinate(), coordinate(), 360.0 * random.nextUnit(), 1.0 + random.nextUnit());
    map.world.martians.push_back(m);
  }
  for (const Martian& m : map.world.martians) {
    map.world.roverObjects.push_back({{ObjectKind::MartianObj, {}, m.index}, false});
  }
  for (const WorldObject& o : map.objects) map.world.roverObjects.push_back({o, false});
  return map;
}

// One sensing pass; the view (range(0), both ways) covers the whole field at 2000.
void BM_SensePass(benchmark::State& state) {
  DenseMap map = denseMap(10000);
  const ViewEllipse view = makeViewEllipse(params(static_cast<double>(state.range(0)), state.range(0) / 2.0));
  std::size_t visible = 0;
  for (auto _ : state) {
    visible = sensePass(view, map.world).size();
    benchmark::DoNotOptimize(visible);
  }
  state.counters["visible"] = static_cast<double>(visible);
}
BENCHMARK(BM_SensePass)->Arg(50)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// One decision tick: every one of the 100 Martians decides against 10,101 static objects.
void BM_MartianRound(benchmark::State& state) {
  DenseMap map = denseMap(10000);
  const SteerConstants constants = makeSteerConstants(params(10.0, 10.0));
  Random random;
  for (auto _ : state) {
    for (Martian& m : map.world.martians) decideMartian(m, map.world.rover, map.objects, constants, random);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MartianRound)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rover
