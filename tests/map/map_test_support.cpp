#include "map_test_support.h"

#include <gtest/gtest.h>

#include "map/json_parser.h"

namespace rover::testing {

std::string outcomeOf(const std::function<void()>& work) {
  try {
    work();
    return "ok";
  } catch (const Failure& failure) {
    std::string outcome = failure.kindName();
    if (failure.message()) outcome += ": " + *failure.message();
    return outcome;
  }
}

JsonDocument parseText(const std::string& text) {
  MemoryByteSource source(text);
  return parseJson(source);
}

MapSpec loadText(const std::string& text) {
  MemoryByteSource source(text);
  return loadMapFrom(source);
}

std::string minimalMap() {
  return R"({
  "size": 100,
  "timeLimit": 60000,
  "vehicleParams": {"maxSpeed": 10, "accel": 2, "brake": 4, "turn": 20, "hardTurn": 60,
                    "rotAccel": 120, "frontView": 30, "rearView": 5},
  "martianParams": {"maxSpeed": 11, "accel": 3, "brake": 5, "turn": 21, "hardTurn": 61,
                    "rotAccel": 121, "frontView": 31, "rearView": 6},
  "craters": [{"x": 10, "y": -20, "r": 3}],
  "boulders": [],
  "runs": [{"vehicle": {"x": 40, "y": 40, "dir": -135},
            "enemies": [{"x": -30, "y": 0, "dir": 90, "speed": 1.5, "view": 20}]}]
})";
}

std::string mapWith(const std::string& from, const std::string& to) {
  std::string text = minimalMap();
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << "the minimal map has no " << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

}  // namespace rover::testing
