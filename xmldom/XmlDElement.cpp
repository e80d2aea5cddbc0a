#include "xmldom/XmlDElement.h"

#include <memory>
#include <typeinfo>
#include <utility>

#include "runtime/Exception.h"
#include "xmldom/XmlDText.h"
#include "xmldom/XmlTreeWriter.h"

namespace xmldom {

TXmlDElement::TXmlDElement(std::string_view tagName) : TXmlDNode(TXmlDNodeType::Element) {
  SetTagName(tagName);
}

TXmlDElement::TXmlDElement(const TXmlDName& tagName) : TXmlDNode(TXmlDNodeType::Element) {
  ShareNames(tagName.names_);
}

TXmlDAttribute* TXmlDElement::GetAttributeNode(const std::string& name) const {
  TXmlDNode* found = FindAttribute(name);
  if (found == nullptr) {
    return nullptr;
  }
  auto* attribute = dynamic_cast<TXmlDAttribute*>(found);
  if (attribute == nullptr) {
    throw runtime::EInvalidCast();
  }
  return attribute;
}

void TXmlDElement::SetAttribute(const std::string& name, std::string_view value) {
  TRef<TXmlDAttribute> attribute = GetAttributeNode(name);
  if (!attribute) {
    attribute = MakeRef<TXmlDAttribute>(name);
    AppendAttribute(attribute.Get());
  }
  attribute->SetNodeValue(value);
}

void TXmlDElement::SetNodeValue(std::string_view /*value*/) {
  throw runtime::Exception("XML: Cannot set node value for \"" + NodeTypeString() + "\"");
}

namespace {

// An element whose text is that of its children, as this class gives it: its children are walked
// in its place. An element of a class of its own is asked.
bool IsWalkedElement(const TXmlDNode& node) {
  return node.NodeType() == TXmlDNodeType::Element && typeid(node) == typeid(TXmlDElement);
}

void AppendTextOf(const TXmlDNode& node, std::string& text) {
  switch (node.NodeType()) {
    case TXmlDNodeType::Element:
    case TXmlDNodeType::Text:
    case TXmlDNodeType::CDataSection:
      text += node.GetText();
      break;
    default:
      break;
  }
}

}  // namespace

// The subtree is walked by its parent and sibling links, so that a tree of any depth is read on a
// bounded stack.
std::string TXmlDElement::GetText() const {
  std::string text;
  const TXmlDNode* node = FirstChild();
  while (node != nullptr) {
    if (IsWalkedElement(*node) && node->HasChildNodes()) {
      node = node->FirstChild();
      continue;
    }
    if (!IsWalkedElement(*node)) {
      AppendTextOf(*node, text);
    }
    while (node != this && node->NextSibling() == nullptr) {
      node = node->ParentNode();
    }
    node = node == this ? nullptr : node->NextSibling();
  }
  return text;
}

void TXmlDElement::SetText(std::string_view text) {
  const TRef<TXmlDText> textNode = MakeRef<TXmlDText>(text);
  ClearChildren();
  AppendChild(textNode.Get());
}

// Neither node can be refused: an element takes elements and text, and neither of the new nodes
// has a parent or nodes of its own. Only memory can fail; until this node holds the new element,
// which nobody has counted yet, a failure destroys it with its text.
TXmlDElement& TXmlDElement::AppendTextElement(const TXmlDName& tagName, std::string_view text) {
  std::unique_ptr<TXmlDElement> element(new TXmlDElement(tagName));
  // The first child of a new element takes no memory to append: nothing can fail after the new.
  element->AppendNewChild(new TXmlDText(text));
  AppendNewChild(element.get());
  return *element.release();
}

void TXmlDElement::AppendXml(std::string& out) const {
  AppendTreeXml(*this, out);
}

std::size_t TXmlDElement::XmlLength() const {
  return TreeXmlLength(*this);
}

bool TXmlDElement::AppendXmlHead(std::string& out) const {
  // Most elements have children and no attributes: their start tag is one piece.
  if (HasChildNodes() && !HasAttributes()) {
    out.append(Names().StartTag());
    return true;
  }
  out.append(Names().StartTagOpening());
  for (const TXmlDNode* attribute : AttributeItems()) {
    out += ' ';
    attribute->AppendXml(out);
  }
  if (!HasChildNodes()) {
    out.append("/>");
    return false;
  }
  out += '>';
  return true;
}

void TXmlDElement::AppendXmlTail(std::string& out) const {
  out.append(Names().EndTag());
}

std::size_t TXmlDElement::XmlHeadLength(bool& childrenFollow) const {
  std::size_t length = 1 + TagName().size();
  for (const TXmlDNode* attribute : AttributeItems()) {
    length += 1 + attribute->XmlLength();
  }
  childrenFollow = HasChildNodes();
  return length + (childrenFollow ? 1 : 2);
}

std::size_t TXmlDElement::XmlTailLength() const {
  return 2 + TagName().size() + 1;
}

TRef<TXmlDNode> TXmlDElement::CloneNode() const {
  return MakeRef<TXmlDElement>(TagName());
}

}  // namespace xmldom
