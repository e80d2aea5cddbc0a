#include "xmldom/XmlDAttribute.h"

#include <utility>

#include "xmldom/EscapeXmlText.h"

namespace xmldom {

TXmlDAttribute::TXmlDAttribute(std::string_view name) : TXmlDNode(TXmlDNodeType::Attribute) {
  SetName(name);
}

void TXmlDAttribute::AppendXml(std::string& out) const {
  out += Name();
  out += "=\"";
  AppendEscapedXmlText(out, value_);
  out += '"';
}

std::size_t TXmlDAttribute::XmlLength() const {
  return Name().size() + 2 + EscapedXmlTextLength(Value()) + 1;
}

TRef<TXmlDNode> TXmlDAttribute::CloneNode() const {
  TRef<TXmlDAttribute> clone = MakeRef<TXmlDAttribute>(Name());
  clone->SetNodeValue(value_);
  return clone;
}

}  // namespace xmldom
