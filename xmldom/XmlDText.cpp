#include "xmldom/XmlDText.h"

#include <utility>

#include "xmldom/EscapeXmlText.h"

namespace xmldom {

namespace {

// The names of every text node, held for the whole run: a document has millions of text nodes,
// and none of them needs to look its name up.
const TNodeNamesRef& TextNames() {
  static const TNodeNamesRef* const names = new TNodeNamesRef(TXmlDText::kName);
  return *names;
}

}  // namespace

// What UpdateNames gives: while this constructor runs, GetNodeName is this class's own.
TXmlDText::TXmlDText(std::string_view data) : TXmlDCharacterData(TXmlDNodeType::Text, data) {
  ShareNames(TextNames());
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
