#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace rover {

// One object entry of a "T" message: 'b', 'c' or 'h' with x, y and radius,
// or 'm' with x, y, heading and speed (the fields it does not carry are 0).
struct SeenEntry {
  char kind = 0;
  double x = 0.0;
  double y = 0.0;
  double radius = 0.0;
  double heading = 0.0;
  double speed = 0.0;
};

// A "T" message's fields as the wire carries them: each real is the double
// nearest its decimal text, as any controller reading the text gets it.
struct TelemetryFields {
  std::int64_t timeMillis = 0;
  char control[2] = {'-', '-'};
  int accel = 0;  // the control field's states
  int turn = 0;
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;
  double speed = 0.0;
  std::size_t objectCount = 0;     // the objects the message carries
  std::vector<SeenEntry> objects;  // the first of them read, in the message's order
};

inline constexpr std::size_t kEveryObject = std::numeric_limits<std::size_t>::max();

// Reads "T t ct x y dir v objects ;" as the game wrote it into `out`: the
// fixed fields, how many objects follow, and the first `maxObjects` of
// them (the object list's storage is reused). Anything else is an internal
// failure: the text comes from the game's own message writer.
void readTelemetry(std::string_view text, TelemetryFields& out, std::size_t maxObjects = kEveryObject);

// The double nearest a real's text on the wire ("12.345", "-0.000", "inf"),
// as std::from_chars reads it; a failure for any other text.
double readReal(std::string_view text);

// The time field, in whole milliseconds, of a "T", "B", "C", "K", "S" or "E" message.
std::int64_t messageTime(std::string_view text);

}  // namespace rover
