#pragma once

#include <string>

#include "xmldom/NodeSequence.h"
#include "xmldom/RefObject.h"
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
//
// A node's own lists work on the nodes kept inside the node; a list made on its own keeps its
// nodes itself.
class TXmlDNodeList : public TRefObject {
 public:
  TXmlDNodeList(TXmlDNode* ownerNode, bool linksNodes);
  ~TXmlDNodeList() override;

  TXmlDNode* OwnerNode() const noexcept { return ownerNode_; }
  bool LinksNodes() const noexcept { return linksNodes_; }

  int Length() const noexcept { return items_->Count(); }
  TXmlDNode* Item(int index) const { return items_->At(index); }
  int IndexOf(const TXmlDNode* node) const noexcept { return items_->IndexOf(node); }
  // The first node whose NodeName equals the name byte for byte.
  TXmlDFound FindByName(const std::string& name) const { return FindByName(*items_, name); }
  TXmlDNode* GetNamedItem(const std::string& name) const { return FindByName(name).Node; }

  // Puts the node at the index (-1: the end). Returns the index.
  int Insert(TXmlDNode* node, int index) {
    return Insert(*items_, ownerNode_, linksNodes_, node, index);
  }
  // Takes the node at the index out; it is destroyed unless somebody else holds it.
  void Delete(int index) { Delete(*items_, linksNodes_, index); }
  void Clear() { Clear(*items_, linksNodes_); }

 protected:
  // The list of a node's children or attributes, whose nodes the node keeps.
  TXmlDNodeList(TXmlDNode& ownerNode, TNodeSequence& ownerItems);

 private:
  friend class TXmlDNode;

  // The operations themselves, on the nodes wherever they are kept.
  static TXmlDFound FindByName(const TNodeSequence& items, const std::string& name);
  static int Insert(TNodeSequence& items, TXmlDNode* owner, bool links, TXmlDNode* node, int index);
  // Insert once every test has passed: the index is in range and the node may go there.
  static void InsertChecked(TNodeSequence& items, TXmlDNode* owner, bool links, TXmlDNode* node,
                            int index);
  // Appends, linked, a node that nobody holds yet, of one of the model's own classes and of a
  // kind that the owner takes.
  static void AppendNew(TNodeSequence& items, TXmlDNode* owner, TXmlDNode* node);
  static void Delete(TNodeSequence& items, bool links, int index);
  static void Clear(TNodeSequence& items, bool links);
  static void LinkNeighbours(const TNodeSequence& items, int left, int right) noexcept;

  // Leaves the list empty for good when its owner is destroyed, which releases the nodes; from
  // then on the list keeps its nodes itself.
  void Orphan() noexcept;

  TXmlDNode* ownerNode_;
  TNodeSequence* items_;
  TNodeSequence ownItems_;
  const bool linksNodes_;
};

// The list of a node's attributes: the same list, linked in the same way.
class TXmlDNamedNodeMap : public TXmlDNodeList {
 public:
  using TXmlDNodeList::TXmlDNodeList;

 private:
  friend class TXmlDNode;
};

}  // namespace xmldom
