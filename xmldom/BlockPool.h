#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define XMLDOM_BLOCKS_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XMLDOM_BLOCKS_FROM_HEAP 1
#endif
#endif

namespace xmldom {

inline constexpr std::size_t kLargestPooled = 256;

// Memory for the many small blocks of a tree, its nodes and their arrays of children: a document
// of a million leases has seven million of them. Blocks of the same size are carved from large
// slabs without a header each and reused from a list once freed; when the last block is freed,
// the slabs go back. Larger blocks come from the general heap.
//
// Like the counts of the object model, the pool is not shared between threads. Builds with
// AddressSanitizer take every block from the general heap, so that it sees each one; the pool
// itself is tested there through a pool of the test's own.
void* AllocateBlock(std::size_t size);
void FreeBlock(void* block, std::size_t size) noexcept;

// The pool behind those two, for blocks of at most kLargestPooled bytes. Trivially destructible and
// made before any code runs, so that a node released while statics are destroyed still gives its
// block back, and no call pays for a guard.
class TBlockPool {
 public:
  void* Allocate(std::size_t size);
  // A block of that size from this pool.
  void Free(void* block, std::size_t size) noexcept;

 private:
  static constexpr std::size_t kGrain = 8;
  struct TFreeBlock;
  // The slabs are chained through their first bytes.
  struct TSlab;

  void* Carve(std::size_t size);
  void AddSlab();
  void ReleaseSlabs() noexcept;

  TFreeBlock* free_[kLargestPooled / kGrain + 1] = {};
  TSlab* slabs_ = nullptr;
  char* cursor_ = nullptr;
  char* slabEnd_ = nullptr;
  std::size_t liveBlocks_ = 0;
};

}  // namespace xmldom
