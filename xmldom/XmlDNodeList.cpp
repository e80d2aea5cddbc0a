#include "xmldom/XmlDNodeList.h"

#include "runtime/Exception.h"
#include "xmldom/XmlDAttribute.h"
#include "xmldom/XmlDElement.h"
#include "xmldom/XmlDText.h"

namespace xmldom {
TXmlDNodeList::TXmlDNodeList(TXmlDNode* ownerNode, bool linksNodes)
    : ownerNode_(ownerNode), items_(&ownItems_), linksNodes_(linksNodes) {}

TXmlDNodeList::TXmlDNodeList(TXmlDNode& ownerNode, TNodeSequence& ownerItems)
    : ownerNode_(&ownerNode), items_(&ownerItems), linksNodes_(true) {
  // The node counted this list as alive when it was made.
  CountLiveObjects(-1);
}

TXmlDNodeList::~TXmlDNodeList() {
  Clear();
}

TXmlDFound TXmlDNodeList::FindByName(const TNodeSequence& items, const std::string& name) {
  int index = 0;
  for (TXmlDNode* node : items) {
    if (node->NodeName() == name) {
      return {node, index};
    }
    ++index;
  }
  return {};
}

int TXmlDNodeList::Insert(TNodeSequence& items, TXmlDNode* owner, bool links, TXmlDNode* node,
                          int index) {
  if (node == nullptr) {
    throw runtime::Exception("XML: Invalid node.");
  }
  if (links && node->parentNode_ != nullptr) {
    throw runtime::Exception("XML: Cannot insert a node with parent node.");
  }
  // A node that held itself through its own lists would never be destroyed.
  if (links && owner != nullptr) {
    owner->CheckNotUnder(*node);
  }
  if (index == -1) {
    index = items.Count();
  }
  InsertChecked(items, owner, links, node, index);
  return index;
}

void TXmlDNodeList::InsertChecked(TNodeSequence& items, TXmlDNode* owner, bool links,
                                  TXmlDNode* node, int index) {
  items.Insert(index, node);
  if (links) {
    node->parentNode_ = owner;
    node->previousSibling_ = nullptr;
    node->nextSibling_ = nullptr;
    LinkNeighbours(items, index - 1, index);
    LinkNeighbours(items, index, index + 1);
  }
}

void TXmlDNodeList::AppendNew(TNodeSequence& items, TXmlDNode* owner, TXmlDNode* node) {
  items.AppendNew(node);
  const int count = items.Count();
  TXmlDNode* previous = count > 1 ? items.begin()[count - 2] : nullptr;
  node->parentNode_ = owner;
  node->previousSibling_ = previous;
  node->nextSibling_ = nullptr;
  if (previous != nullptr) {
    previous->nextSibling_ = node;
  }
}

void TXmlDNodeList::Delete(TNodeSequence& items, bool links, int index) {
  const TRef<TXmlDNode> survivor = items.At(index);
  items.Extract(index);
  if (links) {
    survivor->Unlink();
    LinkNeighbours(items, index - 1, index);
  }
}

void TXmlDNodeList::Clear(TNodeSequence& items, bool links) {
  // From the last node to the first, each unlinked just before it goes and its neighbour made the
  // last, so that no link ever names a destroyed node and a node that survives can be inserted
  // anywhere. One pass touches each node once, which is what a tree of millions costs.
  for (int count = items.Count(); count > 0; count = items.Count()) {
    if (links) {
      items.begin()[count - 1]->Unlink();
      if (count > 1) {
        items.begin()[count - 2]->nextSibling_ = nullptr;
      }
    }
    items.Extract(count - 1);
  }
  items.Forget();
}

void TXmlDNodeList::Orphan() noexcept {
  ownerNode_ = nullptr;
  items_ = &ownItems_;
}

void TXmlDNodeList::LinkNeighbours(const TNodeSequence& items, int left, int right) noexcept {
  const int count = items.Count();
  TXmlDNode* leftNode = left >= 0 && left < count ? items.begin()[left] : nullptr;
  TXmlDNode* rightNode = right >= 0 && right < count ? items.begin()[right] : nullptr;
  if (leftNode != nullptr) {
    leftNode->nextSibling_ = rightNode;
  }
  if (rightNode != nullptr) {
    rightNode->previousSibling_ = leftNode;
  }
}

}  // namespace xmldom
