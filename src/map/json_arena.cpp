#include "map/json_arena.h"

namespace rover {

namespace {

constexpr std::size_t kLargestBlock = std::size_t{1} << 20;

std::uintptr_t alignedUp(std::uintptr_t address, std::size_t align) {
  return (address + (align - 1)) & ~std::uintptr_t{align - 1};
}

}  // namespace

void* JsonArena::allocateBlock(std::size_t bytes, std::size_t align) {
  // A request of half a block or more gets a block of its own; the current
  // block stays open for smaller ones.
  const std::size_t needed = bytes + align;
  if (needed > blockSize_ / 2) {
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(needed));
    return reinterpret_cast<void*>(alignedUp(reinterpret_cast<std::uintptr_t>(blocks_.back().get()), align));
  }
  blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize_));
  const std::uintptr_t block = reinterpret_cast<std::uintptr_t>(blocks_.back().get());
  end_ = block + blockSize_;
  if (blockSize_ < kLargestBlock) blockSize_ *= 2;
  const std::uintptr_t start = alignedUp(block, align);
  next_ = start + bytes;
  return reinterpret_cast<void*>(start);
}

}  // namespace rover
