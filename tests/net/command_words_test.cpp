#include "net/command_words.h"

#include <gtest/gtest.h>

#include <string>

#include "base/failure.h"

namespace rover {
namespace {

// Each word moves the controls one notch per letter, saturating at the ends.
TEST(CommandWords, NotchesAndSaturation) {
  struct Case {
    ControlState from;
    const char* command;
    ControlState to;
  };
  const Case cases[] = {
      {{0, 0}, "a", {0, 1}},   {{0, 1}, "a", {0, 1}},      {{0, 0}, "b", {0, -1}},   {{0, -1}, "b", {0, -1}},
      {{0, 0}, "l", {1, 0}},   {{1, 0}, "l", {2, 0}},      {{2, 0}, "l", {2, 0}},    {{0, 0}, "r", {-1, 0}},
      {{-2, 0}, "r", {-2, 0}}, {{0, 0}, "al", {1, 1}},     {{2, 1}, "al", {2, 1}},   {{0, 0}, "ar", {-1, 1}},
      {{0, 0}, "bl", {1, -1}}, {{-2, -1}, "br", {-2, -1}}, {{2, -1}, "br", {1, -1}},
  };
  for (const Case& c : cases) {
    const ControlState got = applyCommand(c.from, parseCommandWord(c.command));
    EXPECT_EQ(got.turn, c.to.turn) << c.command;
    EXPECT_EQ(got.accel, c.to.accel) << c.command;
  }
}

TEST(CommandWords, IllegalCommandsFailWithTheTextAsReceived) {
  for (const char* text : {"x", "la", "A", "aa", "a ", "lr", "abl"}) {
    try {
      parseCommandWord(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const Failure& f) {
      EXPECT_EQ(f.kind(), FailureKind::Fail);
      EXPECT_EQ(f.message(), std::string("illegal command \"") + text + "\"");
    }
  }
}

}  // namespace
}  // namespace rover
