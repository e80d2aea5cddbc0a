#pragma once

#include <string>
#include <utility>

#include "xmldom/XmlDNode.h"

namespace xmldom {

// A node whose content is one string of character data. Its name, markup and copy depend on the
// kind of data, so they stay abstract here.
class TXmlDCharacterData : public TXmlDNode {
 public:
  TXmlDCharacterData(TXmlDNodeType kind, std::string data)
      : TXmlDNode(kind), data_(std::move(data)) {}

  const std::string& Data() const noexcept { return data_; }

  std::string GetNodeValue() const override { return data_; }
  void SetNodeValue(std::string value) override { data_ = std::move(value); }
  std::string GetText() const override { return GetNodeValue(); }
  void SetText(std::string text) override { SetNodeValue(std::move(text)); }

 private:
  std::string data_;
};

}  // namespace xmldom
