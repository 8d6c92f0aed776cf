#include "map/utf8_reader.h"

#include <algorithm>

#include "base/failure.h"

namespace rover {

namespace {

constexpr std::size_t kBlockSize = 4096;

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

Utf8Reader::Utf8Reader(ByteSource& source, ReadPath path) : source_(source), path_(path) {}

bool Utf8Reader::ensure(std::uint64_t offset) {
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
  if (!ensure(at.offset)) return {};
  unsigned char first = bytes_[at.offset - base_];
  if (first < 0x80) return {first, 1};
  if (isContinuation(first)) incomplete(at);
  std::uint32_t length = first < 0xE0 ? 2 : 3;
  char32_t value = first < 0xE0 ? (first & 0x1F) : (first & 0x0F);
  for (std::uint32_t i = 1; i < length; ++i) {
    if (!ensure(at.offset + i)) incomplete(at);
    unsigned char next = bytes_[at.offset + i - base_];
    if (!isContinuation(next)) incomplete(at);
    value = (value << 6) | (next & 0x3F);
  }
  return {value, length};
}

std::string_view Utf8Reader::bytesBetween(const Cursor& from, const Cursor& to) const {
  const unsigned char* start = bytes_.data() + (from.offset - base_);
  return {reinterpret_cast<const char*>(start), static_cast<std::size_t>(to.offset - from.offset)};
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
  while (!atEnd_) ensure(base_ + bytes_.size());
  Cursor at = from;
  std::uint64_t end = base_ + bytes_.size();
  while (at.offset < end) {
    if (path_ == ReadPath::Fast) {
      // ASCII needs no decoding; only the other bytes go through decode().
      const unsigned char* byte = bytes_.data() + (at.offset - base_);
      const unsigned char* stop = bytes_.data() + bytes_.size();
      while (byte < stop && *byte < 0x80) {
        if (*byte == '\n') {
          ++at.line;
          at.column = 1;
        } else {
          ++at.column;
        }
        ++byte;
      }
      at.offset = base_ + static_cast<std::uint64_t>(byte - bytes_.data());
      if (at.offset == end) break;
    }
    at = advance(at, decode(at));
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

Cursor Utf8Reader::skipTo(Cursor from, std::uint64_t offset) const {
  for (std::uint64_t i = from.offset; i < offset; ++i) {
    unsigned char byte = bytes_[i - base_];
    if (byte == '\n') {
      ++from.line;
      from.column = 1;
    } else if (!isContinuation(byte)) {
      ++from.column;
    }
  }
  from.offset = offset;
  return from;
}

}  // namespace rover
