#include "xmldom/XmlDText.h"

#include <utility>

#include "xmldom/EscapeXmlText.h"

namespace xmldom {

TXmlDText::TXmlDText(std::string data) : TXmlDCharacterData(TXmlDNodeType::Text, std::move(data)) {
  UpdateNames();
}

void TXmlDText::AppendXml(std::string& out) const {
  AppendEscapedXmlText(out, Data());
}

TRef<TXmlDNode> TXmlDText::CloneNode() const {
  return MakeRef<TXmlDText>(Data());
}

}  // namespace xmldom
