#include "xmldom/XmlDText.h"

#include <utility>

#include "xmldom/EscapeXmlText.h"

namespace xmldom {

// What UpdateNames gives: while this constructor runs, GetNodeName is this class's own.
TXmlDText::TXmlDText(std::string_view data) : TXmlDCharacterData(TXmlDNodeType::Text, data) {
  SetNames(kName);
}

void TXmlDText::AppendXml(std::string& out) const {
  if (IsDataWrittenAsItIs()) {
    out.append(Data());
  } else {
    AppendEscapedXmlText(out, Data());
  }
}

std::size_t TXmlDText::XmlLength() const {
  return EscapedDataSize();
}

TRef<TXmlDNode> TXmlDText::CloneNode() const {
  return MakeRef<TXmlDText>(Data());
}

}  // namespace xmldom
