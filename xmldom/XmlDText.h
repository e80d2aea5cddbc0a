#pragma once

#include <string>

#include "xmldom/XmlDCharacterData.h"

namespace xmldom {

// A text node, named "#text" and written as its escaped data.
class TXmlDText : public TXmlDCharacterData {
 public:
  explicit TXmlDText(std::string data);

  std::string GetNodeName() const override { return "#text"; }
  void AppendXml(std::string& out) const override;
  TRef<TXmlDNode> CloneNode() const override;
};

}  // namespace xmldom
