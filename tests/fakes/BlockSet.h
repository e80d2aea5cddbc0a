#pragma once

#include <cstddef>
#include <vector>

namespace fake_dhcp {

// The blocks that the fake has handed out and not yet seen freed, found by address in one probe
// or a few: a run over a million leases hands out six million of them.
class BlockSet {
 public:
  void Insert(void* block);
  // False when the block is not in the set.
  bool Erase(void* block);
  std::size_t Size() const { return size_; }

 private:
  std::size_t SlotOf(const void* block) const;
  void MarkRemoved(std::size_t slot);
  void Rebuild(std::size_t capacity);

  std::vector<void*> slots_;  // a power of two of them, or none
  std::size_t size_ = 0;
  std::size_t erased_ = 0;  // slots that still mark a removed block
};

}  // namespace fake_dhcp
