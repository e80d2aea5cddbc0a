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
// AddressSanitizer take every block from the general heap, so that it sees each one.
void* AllocateBlock(std::size_t size);
void FreeBlock(void* block, std::size_t size) noexcept;

// Whether a block of that size comes from the pool.
inline bool IsPooledSize([[maybe_unused]] std::size_t size) noexcept {
#if defined(XMLDOM_BLOCKS_FROM_HEAP)
  return false;
#else
  return size <= kLargestPooled;
#endif
}
// Whether the pool has exactly that many blocks out; never in the builds that bypass it.
bool PoolHasOut(std::size_t blocks) noexcept;
// Takes every block that is out back without their being freed one by one, but for the number
// kept, which are still to be freed: once those are, the slabs go back. For an owner that knows
// it holds every block that is out.
void TakeBackAllBlocksBut(std::size_t kept) noexcept;

}  // namespace xmldom
