#pragma once

#include <cstddef>
#include <cstdint>

#include "xmldom/BlockPool.h"

namespace xmldom {

class TXmlDNode;

// The nodes of one list in order, holding one count on each: the storage behind every node list,
// kept inside the node that owns the list. An element usually has one child, its text, so one node
// is kept in place of the array, and no storage is made for none.
//
// It keeps the order of operations of the counted lists: a node goes in before it is counted and
// comes out before its count is given back, so that whatever a release destroys never finds it
// still listed.
class TNodeSequence {
 public:
  TNodeSequence() noexcept {}
  TNodeSequence(const TNodeSequence&) = delete;
  TNodeSequence& operator=(const TNodeSequence&) = delete;
  ~TNodeSequence() { Clear(); }

  int Count() const noexcept {
    return IsArray() ? Header()->count : static_cast<int>(single_ != nullptr);
  }
  TXmlDNode* const* begin() const noexcept { return IsArray() ? ArrayItems() : &single_; }
  TXmlDNode* const* end() const noexcept { return begin() + Count(); }

  // The node at the index; EListError for an index outside the nodes.
  TXmlDNode* At(int index) const;
  // -1 when the node is not here.
  int IndexOf(const TXmlDNode* node) const noexcept;
  // Any index from 0 to Count() (else EListError); takes a count on the node, and does not keep a
  // node that cannot be counted.
  void Insert(int index, TXmlDNode* node);
  // Takes the node at the index out, then gives its count back.
  void Extract(int index);
  // Empties the sequence without giving the counts back: the caller takes them over.
  void Forget() noexcept { FreeStorage(); }
  // Appends a node that nobody holds yet, taking the first count on it. For a caller that knows
  // the node can be counted.
  void AppendNew(TXmlDNode* node);
  // Whether one more node needs new storage.
  bool IsFull() const noexcept {
    return IsArray() ? Header()->count == Header()->capacity : single_ != nullptr;
  }
  // Takes the nodes out from the last to the first, giving each count back, then the storage.
  void Clear() {
    if (single_ != nullptr) {
      ClearNodes();
    }
  }

 private:
  // An array of nodes: this header, then the nodes.
  struct TArrayHeader {
    std::int32_t count;
    std::int32_t capacity;
  };
  // Nodes and arrays are at least 8-aligned, so the lowest bit tells an array from a node.
  static constexpr std::uintptr_t kArrayTag = 1;

  bool IsArray() const noexcept { return (bits_ & kArrayTag) != 0; }
  TArrayHeader* Header() const noexcept {
    return reinterpret_cast<TArrayHeader*>(bits_ & ~kArrayTag);
  }
  TXmlDNode** ArrayItems() const noexcept { return reinterpret_cast<TXmlDNode**>(Header() + 1); }
  TXmlDNode** Items() noexcept { return IsArray() ? ArrayItems() : &single_; }
  void SetCount(int count) noexcept {
    if (IsArray()) {
      Header()->count = count;
    } else if (count == 0) {
      single_ = nullptr;
    }
  }
  static std::size_t BytesFor(std::int32_t capacity) noexcept {
    return 8 + static_cast<std::size_t>(capacity) * sizeof(void*);
  }
  void ClearNodes();
  void MakeRoomForOneMore();
  // Here, not in the source: every node that goes calls it, most with nothing to free.
  void FreeStorage() noexcept {
    if (IsArray()) {
      FreeBlock(Header(), BytesFor(Header()->capacity));
    }
    single_ = nullptr;
  }

  // Nothing, the one node while at most one node was ever kept, or the tagged address of an
  // array: a node costs one word for its children.
  union {
    TXmlDNode* single_ = nullptr;
    std::uintptr_t bits_;
  };
};

}  // namespace xmldom
