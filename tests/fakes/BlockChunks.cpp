#include "tests/fakes/BlockChunks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define FAKE_BLOCKS_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FAKE_BLOCKS_FROM_HEAP 1
#endif
#endif

namespace fake_dhcp {

#if !defined(FAKE_BLOCKS_FROM_HEAP)
namespace {

constexpr std::size_t kAlignment = 16;
constexpr std::size_t kChunkSize = 256 * 1024;

struct alignas(kAlignment) Chunk {
  std::size_t liveBlocks;
  std::size_t used;
  std::size_t size;
};

// Every block is preceded by the chunk that it was carved from.
struct alignas(kAlignment) BlockHeader {
  Chunk* chunk;
};

std::size_t Aligned(std::size_t size) {
  return (size + kAlignment - 1) / kAlignment * kAlignment;
}

// The chunk that blocks are carved from now; an earlier one goes back with its last block.
Chunk* current = nullptr;

Chunk* NewChunk(std::size_t least) {
  const std::size_t size = std::max(kChunkSize, sizeof(Chunk) + least);
  auto* chunk = static_cast<Chunk*>(std::malloc(size));
  if (chunk == nullptr) {
    throw std::bad_alloc();
  }
  return new (chunk) Chunk{0, sizeof(Chunk), size};
}

void* Carve(std::size_t size) {
  const std::size_t needed = sizeof(BlockHeader) + Aligned(std::max<std::size_t>(size, 1));
  if (current == nullptr || current->size - current->used < needed) {
    Chunk* fresh = NewChunk(needed);
    if (current != nullptr && current->liveBlocks == 0) {
      std::free(current);
    }
    current = fresh;
  }
  auto* header = new (reinterpret_cast<char*>(current) + current->used) BlockHeader{current};
  current->used += needed;
  ++current->liveBlocks;
  void* block = header + 1;
  std::memset(block, 0, size);
  return block;
}

void Return(void* block) noexcept {
  Chunk* chunk = (static_cast<BlockHeader*>(block) - 1)->chunk;
  if (--chunk->liveBlocks == 0 && chunk != current) {
    std::free(chunk);
  }
}

}  // namespace
#endif

void* AllocateZeroedBlock(std::size_t size) {
#if defined(FAKE_BLOCKS_FROM_HEAP)
  void* block = std::calloc(1, size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  return block;
#else
  return Carve(size);
#endif
}

void FreeBlock(void* block) noexcept {
#if defined(FAKE_BLOCKS_FROM_HEAP)
  std::free(block);
#else
  Return(block);
#endif
}

}  // namespace fake_dhcp
