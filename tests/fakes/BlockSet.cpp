#include "tests/fakes/BlockSet.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace fake_dhcp {
namespace {

// A removed block's slot keeps this mark, so that a search for a block behind it goes on.
void* const kErased = reinterpret_cast<void*>(std::uintptr_t{1});

}  // namespace

void BlockSet::Insert(void* block) {
  if ((size_ + erased_ + 1) * 2 > slots_.size()) {
    Rebuild(std::bit_ceil(std::max<std::size_t>(64, (size_ + 1) * 4)));
  }
  std::size_t slot = SlotOf(block);
  while (slots_[slot] != nullptr && slots_[slot] != kErased) {
    slot = (slot + 1) & (slots_.size() - 1);
  }
  if (slots_[slot] == kErased) {
    --erased_;
  }
  slots_[slot] = block;
  ++size_;
}

bool BlockSet::Erase(void* block) {
  if (slots_.empty()) {
    return false;
  }
  for (std::size_t slot = SlotOf(block); slots_[slot] != nullptr;
       slot = (slot + 1) & (slots_.size() - 1)) {
    if (slots_[slot] == block) {
      MarkRemoved(slot);
      --size_;
      return true;
    }
  }
  return false;
}

// A slot before an empty one ends no search that goes on past it: it is emptied, and so are the
// marks before it, so that the set does not fill with marks and need rebuilding answer after
// answer.
void BlockSet::MarkRemoved(std::size_t slot) {
  const std::size_t mask = slots_.size() - 1;
  if (slots_[(slot + 1) & mask] != nullptr) {
    slots_[slot] = kErased;
    ++erased_;
    return;
  }
  slots_[slot] = nullptr;
  for (slot = (slot - 1) & mask; slots_[slot] == kErased; slot = (slot - 1) & mask) {
    slots_[slot] = nullptr;
    --erased_;
  }
}

std::size_t BlockSet::SlotOf(const void* block) const {
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  return static_cast<std::size_t>((address >> 4) * 0x9E3779B97F4A7C15u) & (slots_.size() - 1);
}

void BlockSet::Rebuild(std::size_t capacity) {
  std::vector<void*> old(capacity, nullptr);
  old.swap(slots_);
  size_ = 0;
  erased_ = 0;
  for (void* block : old) {
    if (block != nullptr && block != kErased) {
      Insert(block);
    }
  }
}

}  // namespace fake_dhcp
