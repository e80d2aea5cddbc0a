#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

#include "xmldom/BlockPool.h"
#include "xmldom/NodeNames.h"
#include "xmldom/NodeSequence.h"
#include "xmldom/NodeType.h"
#include "xmldom/RefObject.h"
#include "xmldom/RefSlot.h"

namespace xmldom {

class TXmlDNodeList;
class TXmlDNamedNodeMap;
class TXmlSink;

// The base of every XML node: its kind and names, the lists of its children and attributes, and
// uncounted links to its parent and siblings. Only the lists keep nodes alive; the links are kept
// by the lists and never name a destroyed node, but for the parent of a node waiting to be
// released with the rest of a tree: that names the parent's block, kept until its nodes are gone,
// as a recursive release would show the parent inside its destructor. Compare it; use nothing
// through it.
//
// Both lists exist, and count as live objects, from the node's creation to its destruction. Their
// nodes are kept inside this node, and a list's object is made the first time somebody asks for
// it, so that a node whose lists nobody asks for costs one allocation and no list objects.
//
// The operations that each kind gives a meaning to are callable here too, and fail with
// EAbstractError.
class TXmlDNode : public TRefObject {
 public:
  // What only some nodes need: attributes, and the list objects once somebody asked for them.
  // Known only inside the node's own code.
  struct TExtras;

  explicit TXmlDNode(TXmlDNodeType kind);
  ~TXmlDNode() override;

  // Nodes of every kind come from the pool of small blocks. A node deleted with nodes in its lists
  // keeps its block until they have gone (see the release in XmlDNode.cpp).
  static void* operator new(std::size_t size) { return AllocateBlock(size); }
  static void operator delete(TXmlDNode* node, std::destroying_delete_t, std::size_t size) noexcept;
  // For a constructor that fails.
  static void operator delete(void* block, std::size_t size) noexcept { FreeBlock(block, size); }

  TXmlDNodeType NodeType() const noexcept { return nodeType_; }
  const std::string& NodeName() const noexcept { return names_.NodeName(); }
  const std::string& Prefix() const noexcept { return names_.Prefix(); }
  const std::string& LocalName() const noexcept { return names_.LocalName(); }
  TXmlDNodeList& ChildNodes() const;
  TXmlDNamedNodeMap& Attributes() const;
  TXmlDNode* ParentNode() const noexcept { return parentNode_; }
  TXmlDNode* PreviousSibling() const noexcept { return previousSibling_; }
  TXmlDNode* NextSibling() const noexcept { return nextSibling_; }

  virtual std::string GetNodeName() const;
  virtual std::string GetNodeValue() const;
  virtual void SetNodeValue(std::string_view value);
  virtual std::string GetText() const;
  virtual void SetText(std::string_view text);
  // The node as XML text: no declaration, no line breaks, no indentation.
  std::string GetXml() const;
  // What GetXml gives, handed to the sink in pieces, so that the text of a large tree never
  // exists whole.
  void WriteXml(TXmlSink& sink) const;
  // Appends what GetXml gives, so that a whole tree is written into one string.
  virtual void AppendXml(std::string& out) const;
  // The length of what AppendXml appends, so that the string of a whole tree is made once at its
  // size; 0 for a kind that does not say, whose text the string then grows to take.
  virtual std::size_t XmlLength() const { return 0; }

  // A tree is written without recursion: each node's head, then, when the head says so, its
  // children and its tail. A kind without children of its own to write is all head: what
  // AppendXml and XmlLength give.
  virtual bool AppendXmlHead(std::string& out) const {
    AppendXml(out);
    return false;
  }
  virtual void AppendXmlTail(std::string& /*out*/) const {}
  virtual std::size_t XmlHeadLength(bool& childrenFollow) const {
    childrenFollow = false;
    return XmlLength();
  }
  virtual std::size_t XmlTailLength() const { return 0; }
  // A new node of the same kind and content; what else it copies depends on the kind.
  virtual TRef<TXmlDNode> CloneNode() const;

  TXmlDNode* FirstChild() const noexcept {
    return HasChildNodes() ? children_.begin()[0] : nullptr;
  }
  TXmlDNode* LastChild() const noexcept { return HasChildNodes() ? children_.end()[-1] : nullptr; }
  bool HasChildNodes() const noexcept { return children_.Count() > 0; }
  bool HasAttributes() const noexcept { return hasExtras_ && AttributeItems().Count() > 0; }
  std::string NodeTypeString() const;

  // Copies GetNodeName into NodeName and splits it at its first colon into Prefix and LocalName.
  void UpdateNames();

  // Moves the child to the index of this node's children (-1: the end), out of the parent that
  // held it; a document fragment gives its children instead of itself. Returns the index. A call
  // that fails changes nothing; once the child is held for the move, a child that nobody else
  // held is destroyed by the failure.
  int InsertChild(TXmlDNode* child, int index);
  int AppendChild(TXmlDNode* child) { return InsertChild(child, -1); }
  // Releases every child, from the last to the first.
  void ClearChildren();

 protected:
  // The nodes of the attribute list, for the kinds that work on them without asking for the list
  // object.
  const TNodeSequence& AttributeItems() const noexcept;
  // The first attribute whose NodeName is the name, or nothing.
  TXmlDNode* FindAttribute(const std::string& name) const;
  // Appends a child that nobody holds yet, of one of the model's own classes and of a kind that
  // this node takes: what AppendChild does for it, without the tests that cannot fail.
  void AppendNewChild(TXmlDNode* child);
  // Inserts at the end of the attributes, as Attributes().Insert(attribute, -1) does.
  void AppendAttribute(TXmlDNode* attribute);
  // For the kinds whose name is a field of their own: NodeName and the field are one record.
  void SetNames(std::string_view name) { names_.Assign(name); }
  void ShareNames(const TNodeNamesRef& names) noexcept { names_.Share(names); }
  const TNodeNamesRef& Names() const noexcept { return names_; }

 private:
  friend class TXmlDNodeList;

  // The release of the nodes of destroyed nodes' lists.
  struct TRelease;

  TExtras& Extras() const;
  TExtras* FoundExtras() const;
  void CheckInsertable(const TXmlDNode& child) const;
  void CheckTakesChildrenOf(const TXmlDNode& fragment) const;
  void CheckNotUnder(const TXmlDNode& child) const;
  int ChildCountAfterDetaching(const TXmlDNode& child) const;
  void MoveChildrenOf(TXmlDNode& fragment, int index);
  void Unlink() noexcept;
  template <typename TList>
  static TXmlDNode* DropList(TList*& listObject, TNodeSequence& items);

  const TXmlDNodeType nodeType_;
  // Whether the node has extras; they are kept beside the nodes rather than in each of them.
  mutable bool hasExtras_ = false;
  TNodeNamesRef names_;
  TXmlDNode* parentNode_ = nullptr;
  TXmlDNode* previousSibling_ = nullptr;
  TXmlDNode* nextSibling_ = nullptr;
  TNodeSequence children_;
};

}  // namespace xmldom
