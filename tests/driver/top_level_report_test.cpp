#include "driver/top_level_report.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace rover {
namespace {

struct ReportCase {
  Failure failure;
  bool systemErrorForm;
  std::string line;
};

TEST(TopLevelLine, ChoosesTheFormByKindAndStartUpStage) {
  const std::vector<ReportCase> cases = {
      {Failure(FailureKind::SysErr, "Address already in use", EADDRINUSE), true,
       "ERROR: Address already in use (addrinuse)\n"},
      {Failure(FailureKind::SysErr, "Broken pipe", EPIPE), true, "ERROR: Broken pipe (pipe)\n"},
      {Failure(FailureKind::SysErr, "odd failure", 99999), true, "ERROR: odd failure (<UNKNOWN>)\n"},
      {Failure(FailureKind::SysErr, "no code here"), true, "ERROR: no code here\n"},
      // Before the map has loaded a system error is reported by kind only.
      {Failure(FailureKind::SysErr, "Address already in use", EADDRINUSE), false,
       "uncaught exception: SysErr\n"},
      // A message of any other kind is never printed.
      {Failure(FailureKind::Fail, "excessive input"), true, "uncaught exception: Fail\n"},
      {Failure(FailureKind::Fail, "EOF"), false, "uncaught exception: Fail\n"},
      {Failure(FailureKind::Io), false, "uncaught exception: Io\n"},
      {Failure(FailureKind::Option), true, "uncaught exception: Option\n"},
      {Failure(FailureKind::NoMemory), true, "uncaught exception: NoMemory\n"},
      {Failure(FailureKind::Usage), false, "usage: server [-v] [-p port] file\n"},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.failure.what());
    EXPECT_EQ(topLevelLine(c.failure, c.systemErrorForm), c.line);
  }
}

TEST(FailureFor, NamesStandardExceptionsByTheNearestKind) {
  const std::vector<std::pair<std::exception_ptr, std::string>> cases = {
      {std::make_exception_ptr(std::bad_alloc()), "NoMemory"},
      {std::make_exception_ptr(std::length_error("vector")), "Size"},
      {std::make_exception_ptr(std::out_of_range("at")), "Subscript"},
      {std::make_exception_ptr(std::domain_error("x")), "Domain"},
      {std::make_exception_ptr(std::runtime_error("x")), "Fail"},
      {std::make_exception_ptr(Failure(FailureKind::Io)), "Io"},
  };
  for (const auto& [thrown, kind] : cases) {
    try {
      std::rethrow_exception(thrown);
    } catch (const std::exception& error) {
      EXPECT_EQ(failureFor(error).kindName(), kind) << error.what();
    }
  }
}

TEST(TopLevelReport, WritesOneLineAndExitsWithStatusOne) {
  EXPECT_EXIT(topLevelReport(Failure(FailureKind::Fail, "secret"), true), ::testing::ExitedWithCode(1),
              "^uncaught exception: Fail\n$");
  EXPECT_EXIT(topLevelReport(Failure(FailureKind::Usage), false), ::testing::ExitedWithCode(1),
              "^usage: server \\[-v\\] \\[-p port\\] file\n$");
}

}  // namespace
}  // namespace rover
