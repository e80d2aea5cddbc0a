#include "xmldom/XmlDNode.h"

#include <memory>
#include <unordered_map>
#include <utility>

#include "runtime/Exception.h"
#include "xmldom/XmlDNodeList.h"
#include "xmldom/XmlSink.h"
#include "xmldom/XmlTreeWriter.h"

namespace xmldom {

struct TXmlDNode::TExtras {
  TNodeSequence attributes;
  // Made when somebody asks for them; the node holds one count on each.
  TXmlDNodeList* childList = nullptr;
  TXmlDNamedNodeMap* attributeList = nullptr;
};

namespace {

// The extras of every node that has them. Never destroyed: a node released while statics are
// destroyed still finds its extras.
using TExtrasTable = std::unordered_map<const TXmlDNode*, std::unique_ptr<TXmlDNode::TExtras>>;

TExtrasTable& ExtrasTable() {
  static TExtrasTable* const table = new TExtrasTable;
  return *table;
}

const TNodeSequence& NoNodes() {
  static const TNodeSequence none;
  return none;
}

// The lists given up by destructors, each as its last node, the first to be released first, and
// whether a destructor further up is already releasing them.
constinit TXmlDNode* waitingForDestruction = nullptr;
constinit bool destroyingWaiting = false;

}  // namespace

TXmlDNode::TXmlDNode(TXmlDNodeType kind) : nodeType_(kind) {
  // Its two lists live from now on.
  CountLiveObjects(2);
}

TXmlDNode::~TXmlDNode() {
  TReleasedNodes released;
  DropAttributes(released);
  DropChildren(released);
  if (hasExtras_) {
    ExtrasTable().erase(this);
  }
  released.PutFirstInto(waitingForDestruction);
  if (!destroyingWaiting) {
    DestroyWaiting();
  }
}

// Each node is unlinked just before its release, as a list that is cleared does it, and a
// release that destroys a node puts that node's lists first in the line.
void TXmlDNode::DestroyWaiting() noexcept {
  destroyingWaiting = true;
  while (waitingForDestruction != nullptr) {
    TXmlDNode* node = waitingForDestruction;
    TXmlDNode* nextList = node->parentNode_;
    TXmlDNode* previous = node->previousSibling_;
    if (previous != nullptr) {
      previous->nextSibling_ = nullptr;
      previous->parentNode_ = nextList;
      waitingForDestruction = previous;
    } else {
      waitingForDestruction = nextList;
    }
    node->Unlink();
    Release(node);
  }
  destroyingWaiting = false;
}

void TXmlDNode::DropAttributes(TReleasedNodes& released) {
  TExtras* extras = FoundExtras();
  if (extras != nullptr) {
    DropList(extras->attributeList, extras->attributes, released);
  } else {
    CountLiveObjects(-1);
  }
}

void TXmlDNode::DropChildren(TReleasedNodes& released) {
  TExtras* extras = FoundExtras();
  TXmlDNodeList* none = nullptr;
  DropList(extras != nullptr ? extras->childList : none, children_, released);
}

// A list object that somebody else still holds outlives this node, emptied; its nodes, as those of
// a list without an object, are released once this destructor has ended, each unlinked first.
template <typename TList>
void TXmlDNode::DropList(TList*& listObject, TNodeSequence& items, TReleasedNodes& released) {
  if (listObject != nullptr) {
    listObject->Orphan(released);
    Drop(listObject);
    return;
  }
  released.TakeOver(items);
  CountLiveObjects(-1);
}

TXmlDNode::TExtras& TXmlDNode::Extras() const {
  if (!hasExtras_) {
    ExtrasTable().emplace(this, std::make_unique<TExtras>());
    hasExtras_ = true;
  }
  return *FoundExtras();
}

TXmlDNode::TExtras* TXmlDNode::FoundExtras() const {
  return hasExtras_ ? ExtrasTable().find(this)->second.get() : nullptr;
}

TXmlDNodeList& TXmlDNode::ChildNodes() const {
  TExtras& extras = Extras();
  if (extras.childList == nullptr) {
    auto& self = const_cast<TXmlDNode&>(*this);
    Hold(extras.childList, new TXmlDNodeList(self, self.children_));
  }
  return *extras.childList;
}

TXmlDNamedNodeMap& TXmlDNode::Attributes() const {
  TExtras& extras = Extras();
  if (extras.attributeList == nullptr) {
    Hold(extras.attributeList,
         new TXmlDNamedNodeMap(const_cast<TXmlDNode&>(*this), extras.attributes));
  }
  return *extras.attributeList;
}

const TNodeSequence& TXmlDNode::AttributeItems() const noexcept {
  const TExtras* extras = FoundExtras();
  return extras != nullptr ? extras->attributes : NoNodes();
}

TXmlDNode* TXmlDNode::FindAttribute(const std::string& name) const {
  return TXmlDNodeList::FindByName(AttributeItems(), name).Node;
}

void TXmlDNode::AppendAttribute(TXmlDNode* attribute) {
  TXmlDNodeList::Insert(Extras().attributes, this, true, attribute, -1);
}

std::string TXmlDNode::GetNodeName() const {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::GetNodeValue() const {
  throw runtime::EAbstractError();
}

void TXmlDNode::SetNodeValue(std::string_view /*value*/) {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::GetText() const {
  throw runtime::EAbstractError();
}

void TXmlDNode::SetText(std::string_view /*text*/) {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::GetXml() const {
  std::string xml;
  xml.reserve(XmlLength());
  AppendXml(xml);
  return xml;
}

void TXmlDNode::WriteXml(TXmlSink& sink) const {
  std::string piece;
  AppendTreeXml(*this, piece, &sink);
  if (!piece.empty()) {
    sink.Write(piece);
  }
}

void TXmlDNode::AppendXml(std::string& /*out*/) const {
  throw runtime::EAbstractError();
}

TRef<TXmlDNode> TXmlDNode::CloneNode() const {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::NodeTypeString() const {
  return xmldom::NodeTypeString(nodeType_);
}

void TXmlDNode::UpdateNames() {
  names_.Assign(GetNodeName());
}

int TXmlDNode::InsertChild(TXmlDNode* child, int index) {
  // The end is the end before the child leaves an old place in this same node.
  if (index == -1) {
    index = children_.Count();
  }
  if (child == nullptr) {
    throw runtime::Exception("XML: Invalid node.");
  }
  if (!AcceptsChildKind(nodeType_, child->nodeType_)) {
    throw runtime::Exception("XML: Element type error.");
  }
  // Before the hold: a child that nobody holds would be destroyed by its release, and with it
  // this node, which it holds.
  CheckNotUnder(*child);
  // From here on a child that nobody else holds is destroyed by any failure.
  const TRef<TXmlDNode> held = child;
  CheckInsertable(*child);
  if (index < 0 || index > ChildCountAfterDetaching(*child)) {
    throw runtime::EListError(index);
  }

  if (TXmlDNode* oldParent = child->parentNode_) {
    TNodeSequence& oldSiblings = oldParent->children_;
    TXmlDNodeList::Delete(oldSiblings, true, oldSiblings.IndexOf(child));
  }
  if (child->nodeType_ == TXmlDNodeType::DocumentFragment) {
    MoveChildrenOf(*child, index);
  } else {
    // Every test of Insert has passed above, and the detaching left the child without a parent.
    TXmlDNodeList::InsertChecked(children_, this, true, child, index);
  }
  return index;
}

void TXmlDNode::AppendNewChild(TXmlDNode* child) {
  TXmlDNodeList::AppendNew(children_, this, child);
}

void TXmlDNode::ClearChildren() {
  TXmlDNodeList::Clear(children_, true);
}

// Every test that can fail runs before the child is taken from its old place, so that a call
// that fails changes nothing.
void TXmlDNode::CheckInsertable(const TXmlDNode& child) const {
  const TXmlDNode* oldParent = child.parentNode_;
  if (oldParent != nullptr && oldParent->children_.IndexOf(&child) < 0) {
    throw runtime::Exception("XML: Failed to find an invalid child node.");
  }
  if (child.nodeType_ == TXmlDNodeType::DocumentFragment) {
    CheckTakesChildrenOf(child);
  }
}

// A fragment's children, and theirs when they are fragments, will each be inserted here.
void TXmlDNode::CheckTakesChildrenOf(const TXmlDNode& fragment) const {
  for (const TXmlDNode* child : fragment.children_) {
    if (!AcceptsChildKind(nodeType_, child->nodeType_)) {
      throw runtime::Exception("XML: Element type error.");
    }
    if (child->nodeType_ == TXmlDNodeType::DocumentFragment) {
      CheckTakesChildrenOf(*child);
    }
  }
}

// Only a node with nodes of its own can have this one below it; a new node has none, so that a
// tree is built without walking up its depth for every node.
void TXmlDNode::CheckNotUnder(const TXmlDNode& child) const {
  if (!child.HasChildNodes() && !child.HasAttributes()) {
    if (this == &child) {
      throw runtime::Exception("XML: Cannot insert a node under itself.");
    }
    return;
  }
  for (const TXmlDNode* node = this; node != nullptr; node = node->parentNode_) {
    if (node == &child) {
      throw runtime::Exception("XML: Cannot insert a node under itself.");
    }
  }
}

int TXmlDNode::ChildCountAfterDetaching(const TXmlDNode& child) const {
  const int count = children_.Count();
  return child.parentNode_ == this ? count - 1 : count;
}

// The children go from the last to the first, each to the same index, so that they stand there
// in their former order.
void TXmlDNode::MoveChildrenOf(TXmlDNode& fragment, int index) {
  while (fragment.HasChildNodes()) {
    InsertChild(fragment.LastChild(), index);
  }
}

void TXmlDNode::Unlink() noexcept {
  parentNode_ = nullptr;
  previousSibling_ = nullptr;
  nextSibling_ = nullptr;
}

}  // namespace xmldom
