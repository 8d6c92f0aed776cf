#include "map/utf8_reader.h"

#include <algorithm>
#include <cstring>

#include "base/failure.h"

namespace rover {

namespace {

constexpr std::size_t kBlockSize = 4096;

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the character whose first byte is `first` (not ASCII), or 0
// when that byte starts none.
std::uint32_t sequenceLength(unsigned char first) {
  if (isContinuation(first)) return 0;
  return first < 0xE0 ? 2 : 3;
}

}  // namespace

bool Utf8Reader::fill(std::uint64_t offset) {
  while (offset - base_ >= bytes_.size()) {
    if (atEnd_) return false;
    std::size_t old = bytes_.size();
    bytes_.resize(old + kBlockSize);
    std::size_t got = source_.read(bytes_.data() + old, kBlockSize);
    bytes_.resize(old + got);
    if (got == 0) atEnd_ = true;
  }
  return true;
}

void Utf8Reader::incomplete(const Cursor& at) {
  throw Failure(FailureKind::Incomplete).at(at.position()).because("bytes that are not valid UTF-8");
}

DecodedChar Utf8Reader::decodeSlow(const Cursor& at) {
  if (!fill(at.offset)) return {};
  unsigned char first = bytes_[at.offset - base_];
  if (first < 0x80) return {first, 1};
  const std::uint32_t length = sequenceLength(first);
  if (length == 0) incomplete(at);
  char32_t value = length == 2 ? (first & 0x1F) : (first & 0x0F);
  for (std::uint32_t i = 1; i < length; ++i) {
    if (!fill(at.offset + i)) incomplete(at);
    unsigned char next = bytes_[at.offset + i - base_];
    if (!isContinuation(next)) incomplete(at);
    value = (value << 6) | (next & 0x3F);
  }
  return {value, length};
}

void Utf8Reader::dropBefore(std::uint64_t offset) {
  // Once the rest is loaded for comment look-up the buffer holds the whole
  // tail of the file; trimming its front again and again would cost more
  // than keeping it.
  if (restChecked_) return;
  std::uint64_t drop = offset - base_;
  if (drop < kReleaseChunk || drop > bytes_.size()) return;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(drop));
  base_ = offset;
}

void Utf8Reader::checkRest(const Cursor& from) {
  if (restChecked_) return;
  while (fill(base_ + bytes_.size())) {
  }
  // The same checks as decode(), without decoding: ASCII eight bytes at a
  // time, and the place of a bad character counted only when there is one.
  const unsigned char* const start = bytes_.data() + (from.offset - base_);
  const unsigned char* const end = bytes_.data() + bytes_.size();
  const unsigned char* p = start;
  while (p < end) {
    std::uint64_t word;
    while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) p += 8;
    while (p < end && *p < 0x80) ++p;
    if (p == end) break;
    const std::uint32_t length = sequenceLength(*p);
    bool valid = length > 0 && static_cast<std::uint32_t>(end - p) >= length;
    for (std::uint32_t i = 1; valid && i < length; ++i) valid = isContinuation(p[i]);
    if (!valid) {
      Cursor at = from;
      at.skipBytes(start, p);
      incomplete(at);
    }
    p += length;
  }
  restChecked_ = true;
}

std::uint64_t Utf8Reader::findCommentClose(std::uint64_t offset) {
  // A previous search from an earlier offset already scanned up to its
  // answer; nothing between that start and the answer closes a comment.
  if (closeSearchFrom_ != kNotFound && offset >= closeSearchFrom_ &&
      (closeFound_ == kNotFound || offset <= closeFound_)) {
    return closeFound_;
  }
  std::string_view all(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
  std::size_t index = all.find("*/", offset - base_);
  closeSearchFrom_ = offset;
  closeFound_ = index == std::string_view::npos ? kNotFound : base_ + index;
  return closeFound_;
}

}  // namespace rover
