#include "bench_maps.h"

#include <algorithm>
#include <cstdio>

#include "crowded_map.h"

namespace rover::bench {

namespace {

constexpr int kLabelledBoulders = 100'000;
constexpr int kSmallBoulders = 400'000;
constexpr int kNestedBoulders = 20'000;
constexpr int kNestingDepth = 50;

// Everything but the boulders, which come last.
const char* const kHead = R"({
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

std::string labelledMap(bool withComments) {
  std::string text = kHead;
  const std::string label(110, 'b');
  char line[512];
  for (int i = 0; i < kLabelledBoulders; ++i) {
    double x = -999.0 + (i % 1999) * 0.9993214123;
    double y = 999.0 - (i / 100) * 1.8671259341;
    std::snprintf(line, sizeof line,
                  "    {\"x\": %.13f, \"y\": %.13f, %s\"r\": %d.%04d, \"label\": \"%s %06d\"}%s\n", x, y,
                  withComments ? "/* boulder */ " : "", 1 + i % 3, i % 10000, label.c_str(), i,
                  i + 1 < kLabelledBoulders ? "," : "");
    text += line;
  }
  text += "  ]\n}\n";
  return text;
}

std::string smallObjectsMap() {
  std::string text = kHead;
  char line[64];
  for (int i = 0; i < kSmallBoulders; ++i) {
    // Scattered over the terrain by a fixed stride, two or three digits each.
    const long long x = (i * 7919LL) % 1999 - 999;
    const long long y = (i * 104729LL) % 1999 - 999;
    std::snprintf(line, sizeof line, "{\"x\": %lld, \"y\": %lld, \"r\": %d}%s\n", x, y, 1 + i % 5,
                  i + 1 < kSmallBoulders ? "," : "");
    text += line;
  }
  text += "]\n}\n";
  return text;
}

std::string nestedMembersMap() {
  std::string text = kHead;
  // Objects and arrays in turn, 50 levels, around one number.
  std::string open;
  std::string close;
  for (int level = 0; level < kNestingDepth; ++level) {
    open += level % 2 == 0 ? "{\"a\": " : "[";
    close += level % 2 == 0 ? '}' : ']';
  }
  std::reverse(close.begin(), close.end());
  char line[128];
  for (int i = 0; i < kNestedBoulders; ++i) {
    std::snprintf(line, sizeof line,
                  "{\"x\": %d.5, \"y\": %d.25, \"r\": %d, \"notes\": ", (i * 37) % 1999 - 999,
                  (i * 53) % 1999 - 999, 1 + i % 4);
    text += line;
    text += open;
    text += std::to_string(i);
    text += close;
    text += i + 1 < kNestedBoulders ? "},\n" : "}\n";
  }
  text += "]\n}\n";
  return text;
}

std::string crowded() {
  return crowdedMapText({});
}
std::string labelled() {
  return labelledMap(false);
}
std::string commented() {
  return labelledMap(true);
}

std::size_t crowdedObjects() {
  const CrowdedMapShape shape;
  return static_cast<std::size_t>(shape.craters + shape.boulders) + 1;
}

}  // namespace

const std::vector<BenchMap>& benchMaps() {
  // Home and the one crater come with every map but the crowded one.
  static const std::vector<BenchMap> maps = {
      {"crowded", crowded, crowdedObjects()},
      {"labelled", labelled, kLabelledBoulders + 2},
      {"commented", commented, kLabelledBoulders + 2},
      {"small", smallObjectsMap, kSmallBoulders + 2},
      {"nested", nestedMembersMap, kNestedBoulders + 2},
  };
  return maps;
}

const BenchMap* findBenchMap(const std::string& name) {
  for (const BenchMap& map : benchMaps()) {
    if (map.name == name) return &map;
  }
  return nullptr;
}

}  // namespace rover::bench
