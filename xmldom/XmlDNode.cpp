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

}  // namespace

// Nodes go one by one, in the order of a recursive release: a node's destructor, then its
// attributes and its children, each list from its last node to its first, each node with all that
// is below it. pugixml and tinyxml2 free a whole tree at once because a document owns every node in
// it; here any node may be held from outside and outlive its tree, so only a visit of each node
// tells what goes.
//
// The release does not recurse. A node that the model deletes hands its lists over from its
// destructor, and its block, kept after the destructor, is a frame of a stack of waiting lists
// until their last node has been taken: a waiting node's parent link still names its parent's
// memory, as a recursion shows it from inside the parent's destructor (the parent itself has
// gone; nothing is to be read through the link). A node that goes on the way puts its lists on
// top, so the order is the recursion's, on a bounded stack, touching each node once. Like the
// counts, not shared between threads.
namespace {

// The nodes of a destroyed node's lists still to be released, each list by its last node, with
// their counts: they keep their links until their turn comes.
struct TWaitingLists {
  TXmlDNode* attributes = nullptr;
  TXmlDNode* children = nullptr;
  bool IsEmpty() const noexcept { return attributes == nullptr && children == nullptr; }
};

struct TReleaseFrame {
  TReleaseFrame* below;
  TWaitingLists lists;
  // The size of the node's block, given back with the frame; 0 for a node whose memory is not the
  // model's, whose frame is on the stack of its destructor.
  std::size_t blockSize;
};
static_assert(sizeof(TReleaseFrame) <= sizeof(TXmlDNode));

constinit TReleaseFrame* releaseTop = nullptr;
// The waiting node whose count the release gives back: if that deletes it, its frame joins the
// stack for the release under way to take on.
constinit const TXmlDNode* releasing = nullptr;
// The node whose deletion runs its destructor, and the lists that the destructor handed over.
constinit const TXmlDNode* deleting = nullptr;
constinit TWaitingLists handedOver;

}  // namespace

struct TXmlDNode::TRelease {
  static void Down(const TReleaseFrame* below) noexcept;
};

TXmlDNode::TXmlDNode(TXmlDNodeType kind) : nodeType_(kind) {
  // Its two lists live from now on.
  CountLiveObjects(2);
}

TXmlDNode::~TXmlDNode() {
  TExtras* extras = FoundExtras();
  TWaitingLists lists;
  if (extras != nullptr) {
    lists.attributes = DropList(extras->attributeList, extras->attributes);
  } else {
    CountLiveObjects(-1);
  }
  TXmlDNodeList* noChildList = nullptr;
  lists.children = DropList(extras != nullptr ? extras->childList : noChildList, children_);
  if (hasExtras_) {
    ExtrasTable().erase(this);
  }
  if (lists.IsEmpty()) {
    return;
  }
  if (deleting == this) {
    handedOver = lists;
    return;
  }
  // On the stack, in an object of its own or freed by a class of its own: the lists go now, while
  // this node's memory is there.
  TReleaseFrame frame{releaseTop, lists, 0};
  releaseTop = &frame;
  TRelease::Down(frame.below);
}

void TXmlDNode::operator delete(TXmlDNode* node, std::destroying_delete_t,
                                std::size_t size) noexcept {
  const bool releasedByTheStack = std::exchange(releasing, nullptr) == node;
  // The whole object, wherever this class is among its bases.
  void* block = dynamic_cast<void*>(node);
  const TXmlDNode* outer = std::exchange(deleting, node);
  node->~TXmlDNode();
  deleting = outer;
  // Field by field: one load of both would wait for the destructor's stores to reach the cache.
  const TWaitingLists lists{std::exchange(handedOver.attributes, nullptr),
                            std::exchange(handedOver.children, nullptr)};
  if (lists.IsEmpty()) {
    FreeBlock(block, size);
    return;
  }
  TReleaseFrame* below = releaseTop;
  releaseTop = new (block) TReleaseFrame{below, lists, size};
  if (!releasedByTheStack) {
    TRelease::Down(below);
  }
}

// Releases the lists waiting above the frame: each node is unlinked just before its release, and
// its neighbour made the last, as a list that is cleared does it, so that no link ever names a
// node whose block has gone back.
void TXmlDNode::TRelease::Down(const TReleaseFrame* below) noexcept {
  while (releaseTop != below) {
    TReleaseFrame* frame = releaseTop;
    TWaitingLists& lists = frame->lists;
    TXmlDNode*& list = lists.attributes != nullptr ? lists.attributes : lists.children;
    TXmlDNode* node = std::exchange(list, list->previousSibling_);
    if (list != nullptr) {
      list->nextSibling_ = nullptr;
    } else if (lists.children == nullptr) {
      releaseTop = frame->below;
      if (frame->blockSize != 0) {
        FreeBlock(frame, frame->blockSize);
      }
    }
    node->Unlink();
    releasing = node;
    Release(node);
    releasing = nullptr;
  }
}

// The nodes of one of this node's lists, by the last of them, for the release; a list object that
// somebody else still holds outlives this node, emptied.
template <typename TList>
TXmlDNode* TXmlDNode::DropList(TList*& listObject, TNodeSequence& items) {
  TXmlDNode* last = items.Count() > 0 ? items.end()[-1] : nullptr;
  items.Forget();
  if (listObject != nullptr) {
    listObject->Orphan();
    Drop(listObject);
  } else {
    CountLiveObjects(-1);
  }
  return last;
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
