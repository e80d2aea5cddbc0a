#include "xmldom/XmlDElement.h"

#include <utility>

#include "runtime/Exception.h"
#include "xmldom/XmlDNodeList.h"
#include "xmldom/XmlDText.h"

namespace xmldom {

TXmlDElement::TXmlDElement(std::string tagName) : TXmlDNode(TXmlDNodeType::Element) {
  SetTagName(std::move(tagName));
}

void TXmlDElement::SetTagName(std::string tagName) {
  tagName_ = std::move(tagName);
  UpdateNames();
}

TXmlDAttribute* TXmlDElement::GetAttributeNode(const std::string& name) const {
  TXmlDNode* found = Attributes().GetNamedItem(name);
  if (found == nullptr) {
    return nullptr;
  }
  auto* attribute = dynamic_cast<TXmlDAttribute*>(found);
  if (attribute == nullptr) {
    throw runtime::EInvalidCast();
  }
  return attribute;
}

void TXmlDElement::SetAttribute(const std::string& name, std::string value) {
  TRef<TXmlDAttribute> attribute = GetAttributeNode(name);
  if (!attribute) {
    attribute = MakeRef<TXmlDAttribute>(name);
    Attributes().Insert(attribute.Get(), -1);
  }
  attribute->SetNodeValue(std::move(value));
}

void TXmlDElement::SetNodeValue(std::string /*value*/) {
  throw runtime::Exception("XML: Cannot set node value for \"" + NodeTypeString() + "\"");
}

std::string TXmlDElement::GetText() const {
  std::string text;
  for (int index = 0; index < ChildNodes().Length(); ++index) {
    const TXmlDNode& child = *ChildNodes().Item(index);
    switch (child.NodeType()) {
      case TXmlDNodeType::Element:
      case TXmlDNodeType::Text:
      case TXmlDNodeType::CDataSection:
        text += child.GetText();
        break;
      default:
        break;
    }
  }
  return text;
}

void TXmlDElement::SetText(std::string text) {
  const TRef<TXmlDText> textNode = MakeRef<TXmlDText>(std::move(text));
  ClearChildren();
  AppendChild(textNode.Get());
}

void TXmlDElement::AppendXml(std::string& out) const {
  out += '<';
  out += tagName_;
  const TXmlDNodeList& attributes = Attributes();
  for (int index = 0; index < attributes.Length(); ++index) {
    out += ' ';
    attributes.Item(index)->AppendXml(out);
  }
  if (!HasChildNodes()) {
    out += "/>";
    return;
  }
  out += '>';
  const TXmlDNodeList& children = ChildNodes();
  for (int index = 0; index < children.Length(); ++index) {
    children.Item(index)->AppendXml(out);
  }
  out += "</";
  out += tagName_;
  out += '>';
}

TRef<TXmlDNode> TXmlDElement::CloneNode() const {
  return MakeRef<TXmlDElement>(tagName_);
}

}  // namespace xmldom
