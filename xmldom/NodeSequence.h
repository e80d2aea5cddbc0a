#pragma once

#include <cstdint>

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

  int Count() const noexcept { return count_; }
  TXmlDNode* const* begin() const noexcept { return IsInPlace() ? &single_ : many_; }
  TXmlDNode* const* end() const noexcept { return begin() + count_; }

  // The node at the index; EListError for an index outside the nodes.
  TXmlDNode* At(int index) const;
  // -1 when the node is not here.
  int IndexOf(const TXmlDNode* node) const noexcept;
  // Any index from 0 to Count() (else EListError); takes a count on the node, and does not keep a
  // node that cannot be counted.
  void Insert(int index, TXmlDNode* node);
  // Takes the node at the index out, then gives its count back.
  void Extract(int index);
  // Takes the last node out and leaves its count to the caller.
  TXmlDNode* TakeLast() noexcept { return Items()[--count_]; }
  // Takes the nodes out from the last to the first, giving each count back, then the storage.
  void Clear() {
    if (count_ > 0 || !IsInPlace()) {
      ClearNodes();
    }
  }

 private:
  bool IsInPlace() const noexcept { return capacity_ <= 1; }
  TXmlDNode** Items() noexcept { return IsInPlace() ? &single_ : many_; }
  void ClearNodes();
  void MakeRoomForOneMore();
  void FreeStorage() noexcept;

  union {
    TXmlDNode* single_ = nullptr;  // while at most one node fits
    TXmlDNode** many_;
  };
  std::int32_t count_ = 0;
  std::int32_t capacity_ = 1;
};

}  // namespace xmldom
