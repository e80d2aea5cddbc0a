#include "xmldom/XmlDNode.h"

#include "runtime/Exception.h"
#include "xmldom/XmlDNodeList.h"

namespace xmldom {

TXmlDNode::TXmlDNode(TXmlDNodeType kind)
    : nodeType_(kind),
      childNodes_(MakeRef<TXmlDNodeList>(this, true)),
      attributes_(MakeRef<TXmlDNamedNodeMap>(this, true)) {}

TXmlDNode::~TXmlDNode() {
  // A list that somebody else still holds outlives this node; it is emptied so that none of its
  // nodes is left naming this node as its parent.
  attributes_->Orphan();
  attributes_.Reset();
  childNodes_->Orphan();
  childNodes_.Reset();
}

std::string TXmlDNode::GetNodeName() const {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::GetNodeValue() const {
  throw runtime::EAbstractError();
}

void TXmlDNode::SetNodeValue(std::string /*value*/) {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::GetText() const {
  throw runtime::EAbstractError();
}

void TXmlDNode::SetText(std::string /*text*/) {
  throw runtime::EAbstractError();
}

std::string TXmlDNode::GetXml() const {
  std::string xml;
  AppendXml(xml);
  return xml;
}

void TXmlDNode::AppendXml(std::string& /*out*/) const {
  throw runtime::EAbstractError();
}

TRef<TXmlDNode> TXmlDNode::CloneNode() const {
  throw runtime::EAbstractError();
}

TXmlDNode* TXmlDNode::FirstChild() const {
  return HasChildNodes() ? childNodes_->Item(0) : nullptr;
}

TXmlDNode* TXmlDNode::LastChild() const {
  return HasChildNodes() ? childNodes_->Item(childNodes_->Length() - 1) : nullptr;
}

bool TXmlDNode::HasChildNodes() const {
  return childNodes_->Length() > 0;
}

std::string TXmlDNode::NodeTypeString() const {
  return xmldom::NodeTypeString(nodeType_);
}

void TXmlDNode::UpdateNames() {
  nodeName_ = GetNodeName();
  const std::string::size_type colon = nodeName_.find(':');
  if (colon == std::string::npos) {
    prefix_.clear();
    localName_ = nodeName_;
  } else {
    prefix_ = nodeName_.substr(0, colon);
    localName_ = nodeName_.substr(colon + 1);
  }
}

int TXmlDNode::InsertChild(TXmlDNode* child, int index) {
  // The end is the end before the child leaves an old place in this same node.
  if (index == -1) {
    index = childNodes_->Length();
  }
  if (child == nullptr) {
    throw runtime::Exception("XML: Invalid node.");
  }
  if (!AcceptsChildKind(nodeType_, child->nodeType_)) {
    throw runtime::Exception("XML: Element type error.");
  }
  // From here on a child that nobody else holds is destroyed by any failure.
  const TRef<TXmlDNode> held = child;
  CheckInsertable(*child);
  if (index < 0 || index > ChildCountAfterDetaching(*child)) {
    throw runtime::EListError(index);
  }

  if (TXmlDNode* oldParent = child->parentNode_) {
    oldParent->childNodes_->Delete(oldParent->childNodes_->IndexOf(child));
  }
  if (child->nodeType_ == TXmlDNodeType::DocumentFragment) {
    MoveChildrenOf(*child, index);
  } else {
    childNodes_->Insert(child, index);
  }
  return index;
}

void TXmlDNode::ClearChildren() {
  childNodes_->Clear();
}

// Every test that can fail runs before the child is taken from its old place, so that a call
// that fails changes nothing.
void TXmlDNode::CheckInsertable(const TXmlDNode& child) const {
  CheckNotUnder(child);
  const TXmlDNode* oldParent = child.parentNode_;
  if (oldParent != nullptr && oldParent->childNodes_->IndexOf(&child) < 0) {
    throw runtime::Exception("XML: Failed to find an invalid child node.");
  }
  if (child.nodeType_ == TXmlDNodeType::DocumentFragment) {
    CheckTakesChildrenOf(child);
  }
}

// A fragment's children, and theirs when they are fragments, will each be inserted here.
void TXmlDNode::CheckTakesChildrenOf(const TXmlDNode& fragment) const {
  for (int index = 0; index < fragment.childNodes_->Length(); ++index) {
    const TXmlDNode& child = *fragment.childNodes_->Item(index);
    if (!AcceptsChildKind(nodeType_, child.nodeType_)) {
      throw runtime::Exception("XML: Element type error.");
    }
    if (child.nodeType_ == TXmlDNodeType::DocumentFragment) {
      CheckTakesChildrenOf(child);
    }
  }
}

void TXmlDNode::CheckNotUnder(const TXmlDNode& child) const {
  for (const TXmlDNode* node = this; node != nullptr; node = node->parentNode_) {
    if (node == &child) {
      throw runtime::Exception("XML: Cannot insert a node under itself.");
    }
  }
}

int TXmlDNode::ChildCountAfterDetaching(const TXmlDNode& child) const {
  const int count = childNodes_->Length();
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
