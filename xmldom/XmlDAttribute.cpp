#include "xmldom/XmlDAttribute.h"

#include <utility>

#include "xmldom/EscapeXmlText.h"

namespace xmldom {

TXmlDAttribute::TXmlDAttribute(std::string name) : TXmlDNode(TXmlDNodeType::Attribute) {
  SetName(std::move(name));
}

void TXmlDAttribute::SetName(std::string name) {
  name_ = std::move(name);
  UpdateNames();
}

void TXmlDAttribute::AppendXml(std::string& out) const {
  out += name_;
  out += "=\"";
  AppendEscapedXmlText(out, value_);
  out += '"';
}

TRef<TXmlDNode> TXmlDAttribute::CloneNode() const {
  TRef<TXmlDAttribute> clone = MakeRef<TXmlDAttribute>(name_);
  clone->SetNodeValue(value_);
  return clone;
}

}  // namespace xmldom
