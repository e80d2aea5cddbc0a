#pragma once

#include <string>
#include <string_view>

#include "xmldom/BlockText.h"
#include "xmldom/XmlDNode.h"

namespace xmldom {

// A node whose content is one string of character data. Its name, markup and copy depend on the
// kind of data, so they stay abstract here.
class TXmlDCharacterData : public TXmlDNode {
 public:
  TXmlDCharacterData(TXmlDNodeType kind, std::string_view data) : TXmlDNode(kind), data_(data) {}

  std::string_view Data() const noexcept { return data_.View(); }
  // The length of the data written as XML character data.
  std::size_t EscapedDataSize() const noexcept { return data_.EscapedSize(); }
  // Whether the data is written as XML character data exactly as it is.
  bool IsDataWrittenAsItIs() const noexcept { return data_.IsWrittenAsItIs(); }

  std::string GetNodeValue() const override { return std::string(Data()); }
  void SetNodeValue(std::string_view value) override { data_.Assign(value); }
  std::string GetText() const override { return GetNodeValue(); }
  void SetText(std::string_view text) override { SetNodeValue(text); }

 private:
  TBlockText data_;
};

}  // namespace xmldom
