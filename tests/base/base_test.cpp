#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <utility>

#include "base/errno_names.h"
#include "base/failure.h"
#include "base/time_value.h"

namespace rover {
namespace {

TEST(ErrnoName, NamesTheErrorsReportsUse) {
  struct Case {
    int code;
    const char* name;
  };
  const Case cases[] = {{EACCES, "acces"},
                        {EADDRINUSE, "addrinuse"},
                        {EAGAIN, "again"},
                        {EBADF, "badf"},
                        {ECONNREFUSED, "connrefused"},
                        {ECONNRESET, "connreset"},
                        {EINVAL, "inval"},
                        {EPIPE, "pipe"},
                        {EOPNOTSUPP, "opnotsupp"},
                        {EDEADLK, "deadlk"}};
  for (const Case& c : cases) EXPECT_EQ(errnoName(c.code), c.name) << c.code;
}

TEST(ErrnoName, UnknownCodes) {
  EXPECT_EQ(errnoName(0), "<UNKNOWN>");
  EXPECT_EQ(errnoName(-1), "<UNKNOWN>");
  EXPECT_EQ(errnoName(100000), "<UNKNOWN>");
}

// The names are what the top-level line prints, so each must be exactly
// the kind's documented name, and no two kinds may share one.
TEST(FailureKind, EveryKindHasItsOwnPrintedName) {
  const std::pair<FailureKind, std::string> table[] = {
      {FailureKind::Fail, "Fail"},
      {FailureKind::Io, "Io"},
      {FailureKind::Option, "Option"},
      {FailureKind::Overflow, "Overflow"},
      {FailureKind::Subscript, "Subscript"},
      {FailureKind::Size, "Size"},
      {FailureKind::Incomplete, "Incomplete"},
      {FailureKind::Match, "Match"},
      {FailureKind::Bind, "Bind"},
      {FailureKind::Div, "Div"},
      {FailureKind::Domain, "Domain"},
      {FailureKind::Chr, "Chr"},
      {FailureKind::Empty, "Empty"},
      {FailureKind::ClosedStream, "ClosedStream"},
      {FailureKind::NoMemory, "NoMemory"},
      {FailureKind::DieFailed, "DieFailed"},
      {FailureKind::SysErr, "SysErr"},
      {FailureKind::Usage, "Usage"},
  };
  std::set<std::string> seen;
  for (const auto& [kind, name] : table) {
    EXPECT_EQ(kindName(kind), name);
    EXPECT_TRUE(seen.insert(kindName(kind)).second) << name << " is shared";
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(FailureKind::Usage) + 1)
      << "a kind is missing from the table";
}

TEST(Failure, CarriesKindMessageAndCode) {
  try {
    raiseSystemError("Address already in use", EADDRINUSE);
    FAIL() << "no failure raised";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::SysErr);
    EXPECT_EQ(failure.message(), "Address already in use");
    EXPECT_EQ(failure.errorCode(), EADDRINUSE);
    EXPECT_STREQ(failure.what(), "SysErr: Address already in use (addrinuse)");
  }
  try {
    raiseFail("EOF");
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.kind(), FailureKind::Fail);
    EXPECT_EQ(failure.message(), "EOF");
    EXPECT_FALSE(failure.errorCode());
  }
}

TEST(TimeValue, ConversionsTruncateTowardZero) {
  EXPECT_EQ(TimeValue::fromNanos(1999999).wholeMillis(), 1);
  EXPECT_EQ(TimeValue::fromNanos(-1999999).wholeMillis(), -1);
  EXPECT_EQ(TimeValue::fromNanos(1999).wholeMicros(), 1);
  EXPECT_EQ(TimeValue::fromNanos(-1999).wholeMicros(), -1);
  EXPECT_EQ(TimeValue::fromMillis(-5).millisText(), "-5");
}

TEST(TimeValue, ArbitrarySizeStaysExact) {
  mpz_class huge("1000000000000000000000000000000");  // 10^30 ms
  TimeValue limit = TimeValue::fromMillis(huge);
  EXPECT_EQ(limit.millisText(), "1000000000000000000000000000000");
  TimeValue later = limit + TimeValue::fromNanos(INT64_MAX);
  EXPECT_GT(later, limit);
  EXPECT_EQ((later - limit).nanos(), mpz_class("9223372036854775807"));
  EXPECT_EQ(TimeValue::fromNanos(INT64_MIN).nanos(), mpz_class("-9223372036854775808"));
}

}  // namespace
}  // namespace rover
