#pragma once

#include <string>

#include "xmldom/NodeType.h"
#include "xmldom/RefObject.h"
#include "xmldom/RefSlot.h"

namespace xmldom {

class TXmlDNodeList;
class TXmlDNamedNodeMap;

// The base of every XML node: its kind and names, the lists of its children and attributes, and
// uncounted links to its parent and siblings. Only the lists keep nodes alive; the links are kept
// by the lists and never name a destroyed node.
//
// The operations that each kind gives a meaning to are callable here too, and fail with
// EAbstractError.
class TXmlDNode : public TRefObject {
 public:
  explicit TXmlDNode(TXmlDNodeType kind);
  ~TXmlDNode() override;

  TXmlDNodeType NodeType() const noexcept { return nodeType_; }
  const std::string& NodeName() const noexcept { return nodeName_; }
  const std::string& Prefix() const noexcept { return prefix_; }
  const std::string& LocalName() const noexcept { return localName_; }
  TXmlDNodeList& ChildNodes() const noexcept { return *childNodes_; }
  TXmlDNamedNodeMap& Attributes() const noexcept { return *attributes_; }
  TXmlDNode* ParentNode() const noexcept { return parentNode_; }
  TXmlDNode* PreviousSibling() const noexcept { return previousSibling_; }
  TXmlDNode* NextSibling() const noexcept { return nextSibling_; }

  virtual std::string GetNodeName() const;
  virtual std::string GetNodeValue() const;
  virtual void SetNodeValue(std::string value);
  virtual std::string GetText() const;
  virtual void SetText(std::string text);
  // The node as XML text: no declaration, no line breaks, no indentation.
  std::string GetXml() const;
  // Appends what GetXml gives, so that a whole tree is written into one string.
  virtual void AppendXml(std::string& out) const;
  // A new node of the same kind and content; what else it copies depends on the kind.
  virtual TRef<TXmlDNode> CloneNode() const;

  TXmlDNode* FirstChild() const;
  TXmlDNode* LastChild() const;
  bool HasChildNodes() const;
  std::string NodeTypeString() const;

  // Copies GetNodeName into NodeName and splits it at its first colon into Prefix and LocalName.
  void UpdateNames();

  // Moves the child to the index of this node's children (-1: the end), out of the parent that
  // held it; a document fragment gives its children instead of itself. Returns the index. A call
  // that fails changes nothing.
  int InsertChild(TXmlDNode* child, int index);
  int AppendChild(TXmlDNode* child) { return InsertChild(child, -1); }
  // Releases every child, from the last to the first.
  void ClearChildren();

 private:
  friend class TXmlDNodeList;

  void CheckInsertable(const TXmlDNode& child) const;
  void CheckTakesChildrenOf(const TXmlDNode& fragment) const;
  void CheckNotUnder(const TXmlDNode& child) const;
  int ChildCountAfterDetaching(const TXmlDNode& child) const;
  void MoveChildrenOf(TXmlDNode& fragment, int index);
  void Unlink() noexcept;

  const TXmlDNodeType nodeType_;
  std::string nodeName_;
  std::string prefix_;
  std::string localName_;
  TRef<TXmlDNodeList> childNodes_;
  TRef<TXmlDNamedNodeMap> attributes_;
  TXmlDNode* parentNode_ = nullptr;
  TXmlDNode* previousSibling_ = nullptr;
  TXmlDNode* nextSibling_ = nullptr;
};

}  // namespace xmldom
