#include "net/output_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/memory_transport.h"

namespace rover {
namespace {

// A message of the given total size (its last byte the ";"), appended in
// pieces of the given size the way the message writers append fields.
std::string message(std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i + 1 < size; ++i) text += static_cast<char>('a' + i % 26);
  return text + ";";
}

struct BlockCase {
  std::size_t size;
  std::size_t piece;  // 0: one character at a time
  std::vector<std::size_t> blocks;
};

class OutputBufferBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(OutputBufferBlocks, SplitsIntoFullBlocksAndTheRest) {
  const BlockCase& c = GetParam();
  MemoryTransport transport;
  OutputBuffer out(transport);
  const std::string text = message(c.size);
  const std::string body = text.substr(0, text.size() - 1);
  if (c.piece == 0) {
    for (char ch : body) out.append(ch);
  } else {
    for (std::size_t at = 0; at < body.size(); at += c.piece) out.append(body.substr(at, c.piece));
  }
  out.append(';');
  out.flush();

  std::vector<std::size_t> sizes;
  for (const std::string& block : transport.sentBlocks()) sizes.push_back(block.size());
  EXPECT_EQ(sizes, c.blocks);
  EXPECT_EQ(transport.sent(), text);
  EXPECT_EQ(out.pending(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OutputBufferBlocks,
                         ::testing::Values(BlockCase{1, 0, {1}}, BlockCase{1199, 7, {1199}},
                                           BlockCase{1200, 7, {1200}}, BlockCase{1200, 0, {1200}},
                                           BlockCase{1200, 1199, {1200}}, BlockCase{1201, 7, {1200, 1}},
                                           BlockCase{1201, 0, {1200, 1}}, BlockCase{1201, 1200, {1200, 1}},
                                           BlockCase{2400, 13, {1200, 1200}},
                                           BlockCase{2500, 13, {1200, 1200, 100}},
                                           BlockCase{2500, 2499, {1200, 1200, 100}}));

TEST(OutputBuffer, HoldsBytesUntilFlushAndStartsAfreshAfterIt) {
  MemoryTransport transport;
  OutputBuffer out(transport);
  out.append("B 10 ");
  out.append(';');
  EXPECT_TRUE(transport.sentBlocks().empty());
  EXPECT_EQ(out.pending(), 6u);
  out.flush();
  out.append("E 1 2 ;");
  out.flush();
  EXPECT_EQ(transport.sentBlocks(), (std::vector<std::string>{"B 10 ;", "E 1 2 ;"}));
}

TEST(OutputBuffer, FlushOfAnEmptyBufferSendsNothing) {
  MemoryTransport transport;
  OutputBuffer out(transport);
  out.flush();
  out.append(std::string(1200, 'x'));  // fills exactly and leaves at once
  out.flush();
  ASSERT_EQ(transport.sentBlocks().size(), 1u);
  EXPECT_EQ(transport.sentBlocks()[0].size(), 1200u);
}

}  // namespace
}  // namespace rover
