#pragma once

#include <string>
#include <utility>

#include "xmldom/XmlDNode.h"

namespace xmldom {

// An attribute: a name and a value, written as name="value" with the value escaped.
class TXmlDAttribute : public TXmlDNode {
 public:
  explicit TXmlDAttribute(std::string name);

  const std::string& Name() const noexcept { return name_; }
  const std::string& Value() const noexcept { return value_; }
  void SetName(std::string name);

  std::string GetNodeName() const override { return name_; }
  std::string GetNodeValue() const override { return value_; }
  void SetNodeValue(std::string value) override { value_ = std::move(value); }
  std::string GetText() const override { return GetNodeValue(); }
  void SetText(std::string text) override { SetNodeValue(std::move(text)); }
  void AppendXml(std::string& out) const override;
  TRef<TXmlDNode> CloneNode() const override;

 private:
  std::string name_;
  std::string value_;
};

}  // namespace xmldom
