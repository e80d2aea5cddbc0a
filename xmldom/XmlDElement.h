#pragma once

#include <string>
#include <string_view>

#include "xmldom/XmlDAttribute.h"
#include "xmldom/XmlDNode.h"

namespace xmldom {

// A tag name looked up once for the many elements that bear it.
class TXmlDName {
 public:
  explicit TXmlDName(std::string_view name) : names_(name) {}

 private:
  friend class TXmlDElement;

  TNodeNamesRef names_;
};

// An element: a tag name, attributes in the order they were first set, and children.
class TXmlDElement : public TXmlDNode {
 public:
  explicit TXmlDElement(std::string_view tagName);
  explicit TXmlDElement(const TXmlDName& tagName);

  // The tag name is the element's NodeName: one record holds both.
  const std::string& TagName() const noexcept { return NodeName(); }
  void SetTagName(std::string_view tagName) { SetNames(tagName); }

  // The attribute of that name (compared byte for byte), or nothing. A node of another class in
  // the attribute list is an EInvalidCast failure.
  TXmlDAttribute* GetAttributeNode(const std::string& name) const;
  // Replaces the value of an existing attribute in place; a new one goes after all others.
  void SetAttribute(const std::string& name, std::string_view value);

  std::string GetNodeName() const final { return TagName(); }
  std::string GetNodeValue() const override { return {}; }
  void SetNodeValue(std::string_view value) override;
  // The text of the element, text and character-data children, in order.
  std::string GetText() const override;
  // Replaces every child by one text node, even for an empty text.
  void SetText(std::string_view text) override;
  // What a new element of that name, given the text with SetText and appended here with
  // AppendChild, comes to, in one step. Returns the new element.
  TXmlDElement& AppendTextElement(const TXmlDName& tagName, std::string_view text);
  void AppendXml(std::string& out) const override;
  std::size_t XmlLength() const override;
  // The start tag with the attributes, or the whole element when it has no children.
  bool AppendXmlHead(std::string& out) const override;
  void AppendXmlTail(std::string& out) const override;
  std::size_t XmlHeadLength(bool& childrenFollow) const override;
  std::size_t XmlTailLength() const override;
  // Only the tag name is copied: no attributes, no children.
  TRef<TXmlDNode> CloneNode() const override;
};

}  // namespace xmldom
