#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "xmldom/XmlDNode.h"

namespace xmldom {

// An attribute: a name and a value, written as name="value" with the value escaped.
class TXmlDAttribute : public TXmlDNode {
 public:
  explicit TXmlDAttribute(std::string_view name);

  // The name is the attribute's NodeName: one record holds both.
  const std::string& Name() const noexcept { return NodeName(); }
  const std::string& Value() const noexcept { return value_; }
  void SetName(std::string_view name) { SetNames(name); }

  std::string GetNodeName() const final { return Name(); }
  std::string GetNodeValue() const override { return value_; }
  void SetNodeValue(std::string_view value) override { value_ = value; }
  std::string GetText() const override { return GetNodeValue(); }
  void SetText(std::string_view text) override { SetNodeValue(text); }
  void AppendXml(std::string& out) const override;
  std::size_t XmlLength() const override;
  TRef<TXmlDNode> CloneNode() const override;

 private:
  std::string value_;
};

}  // namespace xmldom
