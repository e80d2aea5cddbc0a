#pragma once

#include <string>
#include <string_view>

#include "xmldom/XmlDCharacterData.h"

namespace xmldom {

// A text node, named "#text" and written as its escaped data.
class TXmlDText : public TXmlDCharacterData {
 public:
  static constexpr std::string_view kName = "#text";

  explicit TXmlDText(std::string_view data);

  std::string GetNodeName() const override { return std::string(kName); }
  void AppendXml(std::string& out) const override;
  std::size_t XmlLength() const override;
  TRef<TXmlDNode> CloneNode() const override;
};

}  // namespace xmldom
