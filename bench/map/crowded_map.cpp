#include "crowded_map.h"

#include <charconv>
#include <cstdio>

namespace rover::bench {

namespace {

// splitmix64: a fixed, platform-independent stream, unlike the standard
// distributions, whose output differs between libraries.
class Stream {
 public:
  explicit Stream(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high).
  double real(double low, double high) {
    double unit = static_cast<double>(next() >> 11) * 0x1.0p-53;
    return low + (high - low) * unit;
  }
  int integer(int low, int high) {
    return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
  }

 private:
  std::uint64_t state_;
};

void appendReal(std::string& out, double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void appendMember(std::string& out, const char* key, double value, bool first = false) {
  if (!first) out += ", ";
  out += '"';
  out += key;
  out += "\": ";
  appendReal(out, value);
}

void appendCircles(std::string& out, const char* key, int count, Stream& random) {
  out += "  \"";
  out += key;
  out += "\": [\n";
  for (int i = 0; i < count; ++i) {
    out += "    {";
    appendMember(out, "x", random.real(-1000.0, 1000.0), true);
    appendMember(out, "y", random.real(-1000.0, 1000.0));
    appendMember(out, "r", random.real(0.5, 12.0));
    out += i + 1 < count ? "},\n" : "}\n";
  }
  out += "  ],\n";
}

}  // namespace

std::string crowdedMapText(const CrowdedMapShape& shape) {
  Stream random(shape.seed);
  std::string out = R"({
  "size": 2000,
  "timeLimit": 600000,
  "vehicleParams": {"maxSpeed": 12, "accel": 2.5, "brake": 5, "turn": 24, "hardTurn": 72,
                    "rotAccel": 160, "frontView": 60, "rearView": 10},
  "martianParams": {"maxSpeed": 6, "accel": 1.5, "brake": 3, "turn": 30, "hardTurn": 90,
                    "rotAccel": 120, "frontView": 40, "rearView": 5},
)";
  appendCircles(out, "craters", shape.craters, random);
  appendCircles(out, "boulders", shape.boulders, random);
  out += "  \"runs\": [\n";
  for (int run = 0; run < shape.runs; ++run) {
    out += "    {\"vehicle\": {";
    appendMember(out, "x", random.real(-990.0, 990.0), true);
    appendMember(out, "y", random.real(-990.0, 990.0));
    appendMember(out, "dir", random.real(-180.0, 180.0));
    out += "},\n     \"enemies\": [\n";
    for (int i = 0; i < shape.martiansPerRun; ++i) {
      out += "       {";
      appendMember(out, "x", random.real(-1000.0, 1000.0), true);
      appendMember(out, "y", random.real(-1000.0, 1000.0));
      appendMember(out, "dir", random.real(-180.0, 180.0));
      appendMember(out, "speed", random.real(0.5, 3.0));
      out += ", \"view\": ";
      out += std::to_string(random.integer(5, 40));
      out += i + 1 < shape.martiansPerRun ? "},\n" : "}\n";
    }
    out += run + 1 < shape.runs ? "     ]},\n" : "     ]}\n";
  }
  out += "  ]\n}\n";
  return out;
}

}  // namespace rover::bench
