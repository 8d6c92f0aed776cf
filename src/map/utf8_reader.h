#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "map/byte_source.h"
#include "map/cursor.h"

namespace rover {

// The character value returned at the end of the input.
inline constexpr char32_t kEndOfInput = 0xFFFFFFFF;

// One decoded character and the number of bytes it took (0 at the end).
struct DecodedChar {
  char32_t value = kEndOfInput;
  std::uint32_t length = 0;
};

// Reads a byte source in 4096-byte blocks and decodes UTF-8 on demand (one to
// three bytes per character, overlong forms allowed). Invalid input raises
// "Incomplete" at the bad character's position.
class Utf8Reader {
 public:
  explicit Utf8Reader(ByteSource& source) : source_(source) {}

  // The character that starts at `at`.
  DecodedChar decode(const Cursor& at) {
    std::uint64_t index = at.offset - base_;
    if (index < bytes_.size() && bytes_[index] < 0x80) return {bytes_[index], 1};
    return decodeSlow(at);
  }

  // The raw bytes between two offsets that have both been read.
  std::string_view bytesBetween(std::uint64_t from, std::uint64_t to) const {
    return {reinterpret_cast<const char*>(bytes_.data() + (from - base_)),
            static_cast<std::size_t>(to - from)};
  }

  // The bytes already read from `offset` on, undecoded: a lexer may look at
  // these without reading further, and must decode() any character it does
  // not handle itself. Valid until the next decode(), fill(), checkRest() or
  // release().
  std::span<const unsigned char> buffered(std::uint64_t offset) const {
    std::uint64_t index = offset - base_;
    if (index >= bytes_.size()) return {};
    return {bytes_.data() + index, static_cast<std::size_t>(bytes_.size() - index)};
  }

  // Reads blocks until the byte at `offset` is buffered, as decoding the
  // character there would; false when the input ends before it.
  bool fill(std::uint64_t offset);

  // Declares that nothing before `offset` will be decoded again. Called
  // before every token, so the common case (too little to drop) is inline.
  void release(std::uint64_t offset) {
    if (offset - base_ >= kReleaseChunk) dropBefore(offset);
  }

  // Reads the whole rest of the input and checks every character from
  // `from` to the end, raising "Incomplete" at the first bad one. Runs at
  // most once; afterwards everything from `from` on stays buffered.
  void checkRest(const Cursor& from);
  bool restChecked() const { return restChecked_; }

  // The offset of the first "*/" at or after `offset`, or kNotFound. Only
  // after checkRest; amortised linear over a forward-moving sequence of calls.
  std::uint64_t findCommentClose(std::uint64_t offset);
  static constexpr std::uint64_t kNotFound = UINT64_MAX;

  // Moves `from` forward to `offset` over checked input.
  Cursor skipTo(Cursor from, std::uint64_t offset) const {
    const unsigned char* begin = bytes_.data() + (from.offset - base_);
    from.skipBytes(begin, begin + (offset - from.offset));
    return from;
  }

 private:
  // Consumed bytes are dropped from the front of the buffer in chunks of at
  // least this size, so the erase cost stays small per byte.
  static constexpr std::uint64_t kReleaseChunk = 1 << 16;

  DecodedChar decodeSlow(const Cursor& at);
  void dropBefore(std::uint64_t offset);
  [[noreturn]] void incomplete(const Cursor& at);

  ByteSource& source_;
  std::vector<unsigned char> bytes_;  // the input from offset base_ on
  std::uint64_t base_ = 0;
  bool atEnd_ = false;
  bool restChecked_ = false;
  std::uint64_t closeSearchFrom_ = kNotFound;
  std::uint64_t closeFound_ = kNotFound;
};

}  // namespace rover
