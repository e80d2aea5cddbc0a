#include "xmldom/XmlDNodeList.h"

#include "runtime/Exception.h"

namespace xmldom {

TXmlDNodeList::TXmlDNodeList(TXmlDNode* ownerNode, bool linksNodes)
    : ownerNode_(ownerNode), linksNodes_(linksNodes) {}

TXmlDNodeList::~TXmlDNodeList() {
  Clear();
}

TXmlDFound TXmlDNodeList::FindByName(const std::string& name) const {
  for (int index = 0; index < Length(); ++index) {
    TXmlDNode* node = items_.Item(index);
    if (node->NodeName() == name) {
      return {node, index};
    }
  }
  return {};
}

int TXmlDNodeList::Insert(TXmlDNode* node, int index) {
  if (node == nullptr) {
    throw runtime::Exception("XML: Invalid node.");
  }
  if (linksNodes_ && node->parentNode_ != nullptr) {
    throw runtime::Exception("XML: Cannot insert a node with parent node.");
  }
  // A node that held itself through its own lists would never be destroyed.
  if (linksNodes_ && ownerNode_ != nullptr) {
    ownerNode_->CheckNotUnder(*node);
  }
  if (index == -1) {
    index = Length();
  }
  items_.Insert(index, node);
  if (linksNodes_) {
    node->parentNode_ = ownerNode_;
    node->previousSibling_ = nullptr;
    node->nextSibling_ = nullptr;
    LinkNeighbours(index - 1, index);
    LinkNeighbours(index, index + 1);
  }
  return index;
}

void TXmlDNodeList::Delete(int index) {
  const TRef<TXmlDNode> survivor = items_.Item(index);
  items_.Extract(index);
  if (linksNodes_) {
    survivor->Unlink();
    LinkNeighbours(index - 1, index);
  }
}

void TXmlDNodeList::Clear() {
  // Every link is cut before the first node goes, so that no link ever names a destroyed node and
  // a node that survives can be inserted anywhere.
  if (linksNodes_) {
    for (int index = 0; index < Length(); ++index) {
      items_.Item(index)->Unlink();
    }
  }
  items_.Clear();
}

void TXmlDNodeList::Orphan() {
  Clear();
  ownerNode_ = nullptr;
}

void TXmlDNodeList::LinkNeighbours(int left, int right) noexcept {
  TXmlDNode* leftNode = left >= 0 && left < Length() ? items_.Item(left) : nullptr;
  TXmlDNode* rightNode = right >= 0 && right < Length() ? items_.Item(right) : nullptr;
  if (leftNode != nullptr) {
    leftNode->nextSibling_ = rightNode;
  }
  if (rightNode != nullptr) {
    rightNode->previousSibling_ = leftNode;
  }
}

}  // namespace xmldom
