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

// A square field with home, craters and boulders scattered by a fixed
// generator, and Martians spread across it.
struct Shape {
  double side = 1000.0;
  int craters = 100;
  int boulders = 10000;
  int martians = 1000;
};

// crowded_map_bench's largest case: 100,000 objects and 10,000 Martians on 2,000 m.
constexpr Shape kCrowded = {2000.0, 20000, 80000, 10000};

struct DenseMap {
  WorldRules rules;
  World world;
};

DenseMap denseMap(const Shape& shape) {
  Random random(3, 5);
  auto coordinate = [&] { return (random.nextUnit() - 0.5) * shape.side; };
  DenseMap map;
  std::vector<WorldObject> objects;
  objects.push_back(homeObject());
  for (int i = 0; i < shape.craters; ++i) {
    objects.push_back(
        {ObjectKind::Crater, {{coordinate(), coordinate()}, 1.0 + 4.0 * random.nextUnit()}, -1});
  }
  for (int i = 0; i < shape.boulders; ++i) {
    objects.push_back(
        {ObjectKind::Boulder, {{coordinate(), coordinate()}, 0.5 + 2.0 * random.nextUnit()}, -1});
  }
  map.rules.roverModel = makeMotionModel(params(50.0, 10.0));
  map.rules.martianModel = makeMotionModel(params(10.0, 10.0));
  map.rules.wallBound = shape.side / 2 - kWallInset;
  map.rules.statics = std::make_shared<const StaticObjects>(objects, shape.side / 2);
  map.world.rover = startMotionState(-20.0, 30.0, 30.0, 0.0);
  for (int i = 0; i < shape.martians; ++i) {
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

DenseMap denseMap(int boulders, int martians) {
  return denseMap(Shape{1000.0, boulders > 0 ? 100 : 0, boulders, martians});
}

// One sensing pass among 10,101 objects and 1,000 Martians; the view
// (range(0), both ways) covers the whole field at 2000.
void BM_SensePass(benchmark::State& state) {
  DenseMap map = denseMap(10000, 1000);
  const ViewEllipse view = makeViewEllipse(params(static_cast<double>(state.range(0)), state.range(0) / 2.0));
  std::size_t visible = 0;
  Sensing sensing;
  for (auto _ : state) {
    visible = sensing.pass(view, map.world, map.rules).size();
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
  Sensing().pass(makeViewEllipse(params(50.0, 25.0)), map.world, map.rules);
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

namespace rover {
namespace {

// The crowded case's three kinds of work, each once: a physics step (after
// the first, in which the Martians that start in craters are lost), a
// decision tick, a sensing pass with crowded_map_bench's view (60 ahead,
// 20 behind).
void BM_CrowdedStep(benchmark::State& state) {
  DenseMap map = denseMap(kCrowded);
  worldStep(map.world, map.rules, 0.01);  // those that start in a crater are lost here, once
  World world;
  for (auto _ : state) {
    state.PauseTiming();
    world = map.world;
    state.ResumeTiming();
    benchmark::DoNotOptimize(worldStep(world, map.rules, 0.01));
  }
}
BENCHMARK(BM_CrowdedStep)->Unit(benchmark::kMillisecond);

void BM_CrowdedMartianRound(benchmark::State& state) {
  DenseMap map = denseMap(kCrowded);
  const SteerConstants constants = makeSteerConstants(params(10.0, 10.0));
  Random random;
  for (auto _ : state) {
    for (Martian& m : map.world.martians)
      decideMartian(m, map.world.rover, *map.rules.statics, constants, random);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CrowdedMartianRound)->Unit(benchmark::kMillisecond);

void BM_CrowdedSensePass(benchmark::State& state) {
  DenseMap map = denseMap(kCrowded);
  const ViewEllipse view = makeViewEllipse(params(60.0, 20.0));
  Sensing sensing;
  for (auto _ : state) benchmark::DoNotOptimize(sensing.pass(view, map.world, map.rules).size());
}
BENCHMARK(BM_CrowdedSensePass)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rover
