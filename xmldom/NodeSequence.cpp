#include "xmldom/NodeSequence.h"

#include <algorithm>
#include <limits>
#include <new>

#include "runtime/Exception.h"
#include "xmldom/BlockPool.h"
#include "xmldom/XmlDNode.h"

namespace xmldom {
namespace {

void CheckIndex(int index, int highest) {
  if (index < 0 || index > highest) {
    throw runtime::EListError(index);
  }
}

// Three first, for the address elements with their three fields; then doubling, so that a list
// of a million nodes costs linear time.
std::int32_t GrownCapacity(std::int32_t capacity) {
  constexpr std::int32_t kLargest = std::numeric_limits<std::int32_t>::max();
  if (capacity == kLargest) {
    throw std::bad_alloc();
  }
  return capacity < 3 ? 3
                      : static_cast<std::int32_t>(std::min<std::int64_t>(2LL * capacity, kLargest));
}

std::size_t BytesFor(std::int32_t capacity) {
  return static_cast<std::size_t>(capacity) * sizeof(TXmlDNode*);
}

}  // namespace

TXmlDNode* TNodeSequence::At(int index) const {
  CheckIndex(index, count_ - 1);
  return begin()[index];
}

int TNodeSequence::IndexOf(const TXmlDNode* node) const noexcept {
  TXmlDNode* const* found = std::find(begin(), end(), node);
  return found == end() ? -1 : static_cast<int>(found - begin());
}

void TNodeSequence::Insert(int index, TXmlDNode* node) {
  CheckIndex(index, count_);
  if (count_ == capacity_) {
    MakeRoomForOneMore();
  }
  TXmlDNode** items = Items();
  std::copy_backward(items + index, items + count_, items + count_ + 1);
  items[index] = node;
  ++count_;
  try {
    AddRef(node);
  } catch (...) {
    items = Items();
    std::copy(items + index + 1, items + count_, items + index);
    --count_;
    throw;
  }
}

void TNodeSequence::Extract(int index) {
  TXmlDNode* node = At(index);
  TXmlDNode** items = Items();
  std::copy(items + index + 1, items + count_, items + index);
  --count_;
  Release(node);
}

void TNodeSequence::ClearNodes() {
  // A release may run any destructor, and so reach this list again: it is read anew each time.
  while (count_ > 0) {
    --count_;
    Release(Items()[count_]);
  }
  FreeStorage();
}

void TNodeSequence::MakeRoomForOneMore() {
  const std::int32_t capacity = GrownCapacity(capacity_);
  auto** grown = static_cast<TXmlDNode**>(AllocateBlock(BytesFor(capacity)));
  std::copy(begin(), end(), grown);
  FreeStorage();
  many_ = grown;
  capacity_ = capacity;
}

void TNodeSequence::FreeStorage() noexcept {
  if (!IsInPlace()) {
    FreeBlock(many_, BytesFor(capacity_));
  }
  single_ = nullptr;
  capacity_ = 1;
}

}  // namespace xmldom
