#include "xmldom/BlockPool.h"

#include <new>
#include <utility>

namespace xmldom {
namespace {

constexpr std::size_t kSlabSize = 1024 * 1024;

// A block of a size that is a multiple of 16 may hold an object aligned to 16; any other size
// cannot, and 8 is enough for it.
constexpr std::size_t kWideAlignment = 16;

}  // namespace

struct TBlockPool::TFreeBlock {
  TFreeBlock* next;
};

struct TBlockPool::TSlab {
  TSlab* next;
};

void* TBlockPool::Allocate(std::size_t size) {
  const std::size_t sizeClass = (size + kGrain - 1) / kGrain;
  TFreeBlock*& free = free_[sizeClass];
  void* block = free;
  if (block != nullptr) {
    free = free->next;
  } else {
    block = Carve(sizeClass * kGrain);
  }
  ++liveBlocks_;
  return block;
}

void TBlockPool::Free(void* block, std::size_t size) noexcept {
  TFreeBlock*& free = free_[(size + kGrain - 1) / kGrain];
  free = new (block) TFreeBlock{free};
  if (--liveBlocks_ == 0) {
    ReleaseSlabs();
  }
}

void* TBlockPool::Carve(std::size_t size) {
  if (size % kWideAlignment == 0) {
    cursor_ +=
        (kWideAlignment - reinterpret_cast<std::size_t>(cursor_) % kWideAlignment) % kWideAlignment;
  }
  if (cursor_ == nullptr || static_cast<std::size_t>(slabEnd_ - cursor_) < size) {
    AddSlab();
  }
  void* block = cursor_;
  cursor_ += size;
  return block;
}

void TBlockPool::AddSlab() {
  auto* slab = static_cast<char*>(::operator new(kSlabSize));
  slabs_ = new (slab) TSlab{slabs_};
  cursor_ = slab + kWideAlignment;
  slabEnd_ = slab + kSlabSize;
}

void TBlockPool::ReleaseSlabs() noexcept {
  while (slabs_ != nullptr) {
    ::operator delete(std::exchange(slabs_, slabs_->next));
  }
  for (TFreeBlock*& free : free_) {
    free = nullptr;
  }
  cursor_ = nullptr;
  slabEnd_ = nullptr;
}

namespace {

[[maybe_unused]] constinit TBlockPool pool;

}  // namespace

void* AllocateBlock(std::size_t size) {
#if !defined(XMLDOM_BLOCKS_FROM_HEAP)
  if (size <= kLargestPooled) {
    return pool.Allocate(size);
  }
#endif
  return ::operator new(size);
}

void FreeBlock(void* block, [[maybe_unused]] std::size_t size) noexcept {
#if !defined(XMLDOM_BLOCKS_FROM_HEAP)
  if (size <= kLargestPooled) {
    pool.Free(block, size);
    return;
  }
#endif
  ::operator delete(block);
}

}  // namespace xmldom
