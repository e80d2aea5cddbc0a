#pragma once

#include <string>

#include "xmldom/RefObject.h"
#include "xmldom/RefObjectList.h"
#include "xmldom/XmlDNode.h"

namespace xmldom {

// What FindByName found: the node and its index, or nothing and -1.
struct TXmlDFound {
  TXmlDNode* Node = nullptr;
  int Index = -1;
};

// The ordered list of a node's children, holding one count on each. When it links its nodes,
// insertion and deletion keep their parent and sibling links, and a node it releases by Clear is
// left with no links at all.
class TXmlDNodeList : public TRefObject {
 public:
  TXmlDNodeList(TXmlDNode* ownerNode, bool linksNodes);
  ~TXmlDNodeList() override;

  TXmlDNode* OwnerNode() const noexcept { return ownerNode_; }
  bool LinksNodes() const noexcept { return linksNodes_; }

  int Length() const noexcept { return items_.Count(); }
  TXmlDNode* Item(int index) const { return items_.Item(index); }
  int IndexOf(const TXmlDNode* node) const noexcept { return items_.IndexOf(node); }
  // The first node whose NodeName equals the name byte for byte.
  TXmlDFound FindByName(const std::string& name) const;
  TXmlDNode* GetNamedItem(const std::string& name) const { return FindByName(name).Node; }

  // Puts the node at the index (-1: the end). Returns the index.
  int Insert(TXmlDNode* node, int index);
  // Takes the node at the index out; it is destroyed unless somebody else holds it.
  void Delete(int index);
  void Clear();

 private:
  friend class TXmlDNode;

  // Empties the list for good when its owner is destroyed, so that no link names the owner.
  void Orphan();
  void LinkNeighbours(int left, int right) noexcept;

  TXmlDNode* ownerNode_;
  const bool linksNodes_;
  TRefObjectList<TXmlDNode> items_;
};

// The list of a node's attributes: the same list, linked in the same way.
class TXmlDNamedNodeMap : public TXmlDNodeList {
 public:
  using TXmlDNodeList::TXmlDNodeList;
};

}  // namespace xmldom
