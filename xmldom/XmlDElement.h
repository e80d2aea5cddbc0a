#pragma once

#include <string>

#include "xmldom/XmlDAttribute.h"
#include "xmldom/XmlDNode.h"

namespace xmldom {

// An element: a tag name, attributes in the order they were first set, and children.
class TXmlDElement : public TXmlDNode {
 public:
  explicit TXmlDElement(std::string tagName);

  const std::string& TagName() const noexcept { return tagName_; }
  void SetTagName(std::string tagName);

  // The attribute of that name (compared byte for byte), or nothing. A node of another class in
  // the attribute list is an EInvalidCast failure.
  TXmlDAttribute* GetAttributeNode(const std::string& name) const;
  // Replaces the value of an existing attribute in place; a new one goes after all others.
  void SetAttribute(const std::string& name, std::string value);

  std::string GetNodeName() const override { return tagName_; }
  std::string GetNodeValue() const override { return {}; }
  void SetNodeValue(std::string value) override;
  // The text of the element, text and character-data children, in order.
  std::string GetText() const override;
  // Replaces every child by one text node, even for an empty text.
  void SetText(std::string text) override;
  void AppendXml(std::string& out) const override;
  // Only the tag name is copied: no attributes, no children.
  TRef<TXmlDNode> CloneNode() const override;

 private:
  std::string tagName_;
};

}  // namespace xmldom
