#include "xmldom/BlockPool.h"

#include <array>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define XMLDOM_BLOCKS_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XMLDOM_BLOCKS_FROM_HEAP 1
#endif
#endif

namespace xmldom {
namespace {

constexpr std::size_t kGrain = 8;
constexpr std::size_t kLargestPooled = 256;
constexpr std::size_t kSlabSize = 1024 * 1024;

// A block of a size that is a multiple of 16 may hold an object aligned to 16; any other size
// cannot, and 8 is enough for it.
constexpr std::size_t kWideAlignment = 16;

struct TFreeBlock {
  TFreeBlock* next;
};

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
    slabs_.reserve(slabs_.size() + 1);
    auto* slab = static_cast<char*>(::operator new(kSlabSize));
    slabs_.push_back(slab);
    cursor_ = slab;
    slabEnd_ = slab + kSlabSize;
  }

  void ReleaseSlabs() noexcept {
    for (char* slab : slabs_) {
      ::operator delete(slab);
    }
    slabs_.clear();
    free_.fill(nullptr);
    cursor_ = nullptr;
    slabEnd_ = nullptr;
  }

  std::array<TFreeBlock*, kLargestPooled / kGrain + 1> free_{};
  std::vector<char*> slabs_;
  char* cursor_ = nullptr;
  char* slabEnd_ = nullptr;
  std::size_t liveBlocks_ = 0;
};

// Never destroyed: a node released while statics are destroyed still gives its block back.
[[maybe_unused]] TBlockPool& Pool() {
  static TBlockPool* const pool = new TBlockPool;
  return *pool;
}

}  // namespace

void* AllocateBlock(std::size_t size) {
#if !defined(XMLDOM_BLOCKS_FROM_HEAP)
  if (size <= kLargestPooled) {
    return Pool().Allocate(size);
  }
#endif
  return ::operator new(size);
}

void FreeBlock(void* block, std::size_t size) noexcept {
#if !defined(XMLDOM_BLOCKS_FROM_HEAP)
  if (size <= kLargestPooled) {
    Pool().Free(block, size);
    return;
  }
#endif
  ::operator delete(block, size);
}

}  // namespace xmldom
