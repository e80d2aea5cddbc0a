#include "xmldom/BlockPool.h"

#include <new>
#include <utility>

namespace xmldom {
namespace {

constexpr std::size_t kGrain = 8;
constexpr std::size_t kSlabSize = 1024 * 1024;

// A block of a size that is a multiple of 16 may hold an object aligned to 16; any other size
// cannot, and 8 is enough for it.
constexpr std::size_t kWideAlignment = 16;

struct TFreeBlock {
  TFreeBlock* next;
};

// Trivially destructible and made before any code runs, so that a node released while statics are
// destroyed still gives its block back, and no call pays for a guard. The slabs are chained through
// their first bytes.
class TBlockPool {
 public:
  void* Allocate(std::size_t size) {
    const std::size_t sizeClass = SizeClassOf(size);
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

  void Free(void* block, std::size_t size) noexcept {
    TFreeBlock*& free = free_[SizeClassOf(size)];
    free = new (block) TFreeBlock{free};
    if (--liveBlocks_ == 0) {
      ReleaseSlabs();
    }
  }

 private:
  struct TSlab {
    TSlab* next;
  };

  static std::size_t SizeClassOf(std::size_t size) { return (size + kGrain - 1) / kGrain; }

  void* Carve(std::size_t size) {
    if (size % kWideAlignment == 0) {
      cursor_ += (kWideAlignment - reinterpret_cast<std::size_t>(cursor_) % kWideAlignment) %
                 kWideAlignment;
    }
    if (cursor_ == nullptr || static_cast<std::size_t>(slabEnd_ - cursor_) < size) {
      AddSlab();
    }
    void* block = cursor_;
    cursor_ += size;
    return block;
  }

  void AddSlab() {
    auto* slab = static_cast<char*>(::operator new(kSlabSize));
    slabs_ = new (slab) TSlab{slabs_};
    cursor_ = slab + kWideAlignment;
    slabEnd_ = slab + kSlabSize;
  }

  void ReleaseSlabs() noexcept {
    while (slabs_ != nullptr) {
      ::operator delete(std::exchange(slabs_, slabs_->next));
    }
    for (TFreeBlock*& free : free_) {
      free = nullptr;
    }
    cursor_ = nullptr;
    slabEnd_ = nullptr;
  }

  TFreeBlock* free_[kLargestPooled / kGrain + 1] = {};
  TSlab* slabs_ = nullptr;
  char* cursor_ = nullptr;
  char* slabEnd_ = nullptr;
  std::size_t liveBlocks_ = 0;
};

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
