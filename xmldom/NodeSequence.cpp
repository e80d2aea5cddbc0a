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

}  // namespace

TXmlDNode* TNodeSequence::At(int index) const {
  CheckIndex(index, Count() - 1);
  return begin()[index];
}

int TNodeSequence::IndexOf(const TXmlDNode* node) const noexcept {
  TXmlDNode* const* found = std::find(begin(), end(), node);
  return found == end() ? -1 : static_cast<int>(found - begin());
}

void TNodeSequence::Insert(int index, TXmlDNode* node) {
  int count = Count();
  CheckIndex(index, count);
  // Nothing cannot stand alone in place of the array: it would read as no node.
  if (!IsArray() && (count == 1 || node == nullptr)) {
    MakeRoomForOneMore();
  } else if (IsArray() && count == Header()->capacity) {
    MakeRoomForOneMore();
  }
  TXmlDNode** items = Items();
  // Most nodes go at the end, where nothing moves: no call to move nothing.
  if (index < count) {
    std::copy_backward(items + index, items + count, items + count + 1);
  }
  items[index] = node;
  SetCount(++count);
  try {
    AddRef(node);
  } catch (...) {
    items = Items();
    std::copy(items + index + 1, items + count, items + index);
    SetCount(--count);
    throw;
  }
}

void TNodeSequence::AppendNew(TXmlDNode* node) {
  const int count = Count();
  if (IsFull()) {
    MakeRoomForOneMore();
  }
  Items()[count] = node;
  SetCount(count + 1);
  AddRef(node);
}

void TNodeSequence::Extract(int index) {
  TXmlDNode* node = At(index);
  TXmlDNode** items = Items();
  const int count = Count();
  std::copy(items + index + 1, items + count, items + index);
  SetCount(count - 1);
  Release(node);
}

void TNodeSequence::ClearNodes() {
  // A release may run any destructor, and so reach this list again: it is read anew each time.
  for (int count = Count(); count > 0; count = Count()) {
    TXmlDNode* last = Items()[count - 1];
    SetCount(count - 1);
    Release(last);
  }
  FreeStorage();
}

void TNodeSequence::MakeRoomForOneMore() {
  const std::int32_t count = Count();
  const std::int32_t capacity = GrownCapacity(IsArray() ? Header()->capacity : 1);
  auto* grown = static_cast<TArrayHeader*>(AllocateBlock(TNodeSequence::BytesFor(capacity)));
  grown->count = count;
  grown->capacity = capacity;
  std::copy(begin(), end(), reinterpret_cast<TXmlDNode**>(grown + 1));
  FreeStorage();
  bits_ = reinterpret_cast<std::uintptr_t>(grown) | kArrayTag;
}

}  // namespace xmldom
