#include "map_summary.h"

#include <charconv>
#include <cstddef>
#include <sstream>
#include <vector>

#include "record/line_writer.h"

namespace rover {

namespace {

// Longer run lists are cut so the summary stays on one screen.
constexpr std::size_t kRunsListed = 20;

std::size_t countKind(const MapSpec& map, ObjectKind kind) {
  std::size_t count = 0;
  for (const WorldObject& object : map.objects) count += object.kind == kind ? 1 : 0;
  return count;
}

// The shortest text that reads back as the same double.
std::string shortest(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string summarizeMap(const std::string& path, const MapSpec& map) {
  std::ostringstream out;
  out << path << ": map is good\n";
  out << "  size:       " << shortest(map.halfSize * 2) << " (terrain from " << shortest(-map.halfSize)
      << " to " << shortest(map.halfSize) << ")\n";
  out << "  time limit: " << map.timeLimitMillis.get_str() << " ms\n";
  out << "  craters:    " << countKind(map, ObjectKind::Crater) << "\n";
  out << "  boulders:   " << countKind(map, ObjectKind::Boulder) << "\n";
  out << "  runs:       " << map.runs.size() << "\n";
  for (std::size_t i = 0; i < map.runs.size() && i < kRunsListed; ++i) {
    const RunSpec& run = map.runs[i];
    out << "    run " << i + 1 << ": rover at (" << run.startState.position.x << ", "
        << run.startState.position.y << ") heading " << run.startState.heading
        << ", Martians: " << run.enemies.size() << "\n";
  }
  if (map.runs.size() > kRunsListed) out << "    ... and " << map.runs.size() - kRunsListed << " more runs\n";
  return out.str();
}

namespace {

struct RunSummary {
  double x = 0, y = 0, heading = 0;
  std::size_t martians = 0;
  void fields(auto& f) {
    f(Real{"x", x, kShortest}, Real{"y", y, kShortest}, Real{"heading", heading, kShortest},
      Field{"martians", martians});
  }
};

struct Summary {
  std::string file;
  double size = 0;
  mpz_class timeLimitMillis;
  std::size_t craters = 0, boulders = 0;
  std::vector<RunSummary> runs;
  void fields(auto& f) {
    f(Field{"file", file}, Real{"size", size, kShortest}, Field{"time_limit_ms", timeLimitMillis},
      Field{"craters", craters}, Field{"boulders", boulders}, Field{"runs", runs});
  }
};

}  // namespace

std::string summarizeMapJson(const std::string& path, const MapSpec& map) {
  Summary summary{path,
                  map.halfSize * 2,
                  map.timeLimitMillis,
                  countKind(map, ObjectKind::Crater),
                  countKind(map, ObjectKind::Boulder),
                  {}};
  for (const RunSpec& run : map.runs) {
    const MotionState& rover = run.startState;
    summary.runs.push_back({rover.position.x, rover.position.y, rover.heading, run.enemies.size()});
  }
  std::string out = "{";
  FieldWriter fields(out, FieldWriter::Spacing::Spaced, true);
  summary.fields(fields);
  return out + "}\n";
}

}  // namespace rover
