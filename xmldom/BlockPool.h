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

}  // namespace xmldom
