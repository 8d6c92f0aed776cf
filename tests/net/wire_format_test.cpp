#include "net/wire_format.h"

#include <gtest/gtest.h>

#include <string>

#include "net/memory_transport.h"

namespace rover {
namespace {

TEST(WireFormat, WriteRealAndWriteTimeEndWithOneSpace) {
  MemoryTransport transport;
  OutputBuffer out(transport);
  writeReal(out, -0.0, 3);
  writeReal(out, 90.0, 1);
  writeTime(out, TimeValue::fromNanos(1'500'999'999));
  writeTime(out, TimeValue::fromNanos(-1'999'999));  // toward zero: -1, not -2
  writeTime(out, TimeValue::fromNanos(999'999));
  writeTime(out, TimeValue::fromMillis(mpz_class("123456789012345678901234567890")));
  out.flush();
  EXPECT_EQ(transport.sent(), "0.000 90.0 1500 -1 0 123456789012345678901234567890 ");
}

}  // namespace
}  // namespace rover
