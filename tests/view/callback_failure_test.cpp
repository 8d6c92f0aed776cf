#include "view/callback_failure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

#include "base/failure.h"

namespace rover {
namespace {

constexpr const char* kFixedLine = "error: failure escaped a window callback\n";

TEST(GuardCallback, RunsTheBodyWhenNothingFails) {
  int calls = 0;
  guardCallback([&] { ++calls; });
  EXPECT_EQ(calls, 1);
}

TEST(GuardCallbackDeathTest, EveryKindOfFailureEndsWithStatusOneAndTwoLines) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(guardCallback([] { raiseFail("EOF"); }), ::testing::ExitedWithCode(1),
              std::string("^") + kFixedLine + "unhandled exception: Fail: EOF\n$");
  EXPECT_EXIT(guardCallback([] { raiseErrno(EPIPE); }), ::testing::ExitedWithCode(1),
              std::string("^") + kFixedLine + "unhandled exception: SysErr: .* \\(pipe\\)\n$");
  EXPECT_EXIT(guardCallback([] { raiseKind(FailureKind::Empty); }), ::testing::ExitedWithCode(1),
              std::string("^") + kFixedLine + "unhandled exception: Empty\n$");
  EXPECT_EXIT(guardCallback([] { throw std::runtime_error("boom"); }), ::testing::ExitedWithCode(1),
              std::string("^") + kFixedLine + "unhandled exception: std::exception: boom\n$");
  EXPECT_EXIT(guardCallback([] { throw 42; }), ::testing::ExitedWithCode(1),
              std::string("^") + kFixedLine + "unhandled exception: unknown exception\n$");
}

}  // namespace
}  // namespace rover
