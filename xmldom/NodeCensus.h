#pragma once

#include <cstdint>

#include "xmldom/BlockPool.h"
#include "xmldom/NodeSequence.h"

namespace xmldom {

// What the model knows of all its nodes at once, kept as they change, so that a tree whose last
// count goes can be recognised without visiting it as everything there is, held by nobody but its
// own lists: such a tree may then go all at once, since no destructor of it can be told apart from
// another and nothing outside can see the order.
//
// Like the counts, not shared between threads.
struct TNodeCensus {
  // Live nodes, and those of them whose block is in the pool.
  std::int64_t nodes = 0;
  std::int64_t pooledNodes = 0;
  // Nodes held by a node list, through the operations of the node lists.
  std::int64_t members = 0;
  // Arrays of the sequences that those operations work on, and text blocks of character data, in
  // the pool; and both of them on the general heap.
  std::int64_t arrays = 0;
  std::int64_t texts = 0;
  std::int64_t heapBlocks = 0;
  // Nodes put into a list that are of a class the model does not know: their destructors may do
  // anything.
  std::int64_t foreignNodes = 0;
  // Node list objects: somebody may hold one, and with it the nodes it keeps.
  std::int64_t listObjects = 0;
  // Attributes: their values are strings of the general heap, which only their destructors free.
  std::int64_t attributes = 0;
};

inline constinit TNodeCensus nodeCensus;

// Counts the storage of a sequence in (+1) or out (-1).
inline void CountStorage(TNodeSequence::TStorage storage, int sign) noexcept {
  if (storage == TNodeSequence::TStorage::Pool) {
    nodeCensus.arrays += sign;
  } else if (storage == TNodeSequence::TStorage::Heap) {
    nodeCensus.heapBlocks += sign;
  }
}

// Counts the storage of a text of that size in (+1) or out (-1).
inline void CountTextBlock(std::size_t size, int sign) noexcept {
  if (size == 0) {
    return;
  }
  if (IsPooledSize(size)) {
    nodeCensus.texts += sign;
  } else {
    nodeCensus.heapBlocks += sign;
  }
}

}  // namespace xmldom
