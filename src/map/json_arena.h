#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

namespace rover {

// The storage a parsed document's arrays and keys are cut from: blocks that
// grow with the document and are freed together, so that a map of a million
// small values costs a few allocations instead of a million.
class JsonArena {
 public:
  // Copies of `values` in the arena.
  template <class T>
  T* copy(const T* values, std::size_t count) {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    if (count == 0) return nullptr;
    const std::size_t bytes = sizeof(T) * count;
    // Most requests fit the current block: a bump of the pointer.
    const std::uintptr_t start = (next_ + (alignof(T) - 1)) & ~std::uintptr_t{alignof(T) - 1};
    void* room;
    if (start <= end_ && end_ - start >= bytes) {
      next_ = start + bytes;
      room = reinterpret_cast<void*>(start);
    } else {
      room = allocateBlock(bytes, alignof(T));
    }
    // One child is the common case of nested values: a copy without a call.
    if (count == 1) {
      return new (room) T(*values);
    }
    std::memcpy(room, values, bytes);
    return std::launder(static_cast<T*>(room));
  }

  std::string_view copy(std::string_view text) { return {copy(text.data(), text.size()), text.size()}; }

 private:
  // Room for `bytes` in a new block.
  void* allocateBlock(std::size_t bytes, std::size_t align);

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::uintptr_t next_ = 0;  // the free part of the current block
  std::uintptr_t end_ = 0;
  std::size_t blockSize_ = 4096;
};

}  // namespace rover
