#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/martian.h"
#include "sim/sensing.h"
#include "sim/static_objects.h"
#include "sim/world.h"
#include "sim/world_step.h"

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

// A 1000 x 1000 field with home, 100 craters and `boulders` boulders
// scattered by a fixed generator, and `martians` Martians spread across it.
struct DenseMap {
  WorldRules rules;
  World world;
};

DenseMap denseMap(int boulders, int martians) {
  Random random(3, 5);
  auto coordinate = [&] { return random.nextUnit() * 1000.0 - 500.0; };
  DenseMap map;
  std::vector<WorldObject> objects;
  objects.push_back(homeObject());
  for (int i = 0; i < (boulders > 0 ? 100 : 0); ++i) {
    objects.push_back(
        {ObjectKind::Crater, {{coordinate(), coordinate()}, 1.0 + 4.0 * random.nextUnit()}, -1});
  }
  for (int i = 0; i < boulders; ++i) {
    objects.push_back(
        {ObjectKind::Boulder, {{coordinate(), coordinate()}, 0.5 + 2.0 * random.nextUnit()}, -1});
  }
  map.rules.roverModel = makeMotionModel(params(50.0, 10.0));
  map.rules.martianModel = makeMotionModel(params(10.0, 10.0));
  map.rules.wallBound = 500.0 - kWallInset;
  map.rules.statics = std::make_shared<const StaticObjects>(objects, 500.0);
  map.world.rover = startMotionState(-20.0, 30.0, 30.0, 0.0);
  for (int i = 0; i < martians; ++i) {
    Martian m;
    m.index = i;
    m.view = 10.0;
    m.motion =
        startMotionState(coordinate(), coordinate(), 360.0 * random.nextUnit(), 1.0 + random.nextUnit());
    m.control.accel = 1;
    map.world.martians.push_back(m);
  }
  map.world.roverObjects = RoverObjects(map.world.martians, map.rules.statics);
  return map;
}

// One sensing pass among 10,101 objects and 1,000 Martians; the view
// (range(0), both ways) covers the whole field at 2000.
void BM_SensePass(benchmark::State& state) {
  DenseMap map = denseMap(10000, 1000);
  const ViewEllipse view = makeViewEllipse(params(static_cast<double>(state.range(0)), state.range(0) / 2.0));
  std::size_t visible = 0;
  for (auto _ : state) {
    visible = sensePass(view, map.world, map.rules).size();
    benchmark::DoNotOptimize(visible);
  }
  state.counters["visible"] = static_cast<double>(visible);
}
BENCHMARK(BM_SensePass)->ArgNames({"view"})->Arg(50)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// One decision tick: each of 1,000 Martians looks ahead among 10,101 static objects.
void BM_MartianRound(benchmark::State& state) {
  DenseMap map = denseMap(10000, 1000);
  const SteerConstants constants = makeSteerConstants(params(10.0, 10.0));
  Random random;
  for (auto _ : state) {
    for (Martian& m : map.world.martians)
      decideMartian(m, map.world.rover, *map.rules.statics, constants, random);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MartianRound)->Unit(benchmark::kMillisecond);

// One physics step of 1,000 Martians and the rover, which has just sensed
// with a 50 m view, among `boulders` boulders (with 100 craters and home)
// or home alone. Each step starts from the same world.
void BM_WorldStep(benchmark::State& state) {
  DenseMap map = denseMap(static_cast<int>(state.range(0)), 1000);
  sensePass(makeViewEllipse(params(50.0, 25.0)), map.world, map.rules);
  World world;
  for (auto _ : state) {
    state.PauseTiming();
    world = map.world;
    state.ResumeTiming();
    benchmark::DoNotOptimize(worldStep(world, map.rules, 0.01));
  }
}
BENCHMARK(BM_WorldStep)->ArgNames({"boulders"})->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rover
