#pragma once

#include <cstdint>
#include <string>

namespace xmldom {

// The kind of an XML node. Every 8-bit code is a valid kind; only 0 to 11 have names.
enum class TXmlDNodeType : std::uint8_t {
  Element = 0,
  Attribute = 1,
  Text = 2,
  CDataSection = 3,
  EntityReference = 4,
  Entity = 5,
  ProcessingInstruction = 6,
  Comment = 7,
  Document = 8,
  DocumentType = 9,
  DocumentFragment = 10,
  Notation = 11,
};

// The name of a kind, such as "element"; a code without a name gives an empty text.
std::string NodeTypeString(TXmlDNodeType kind);

// Whether a node of the parent kind takes a child of the child kind.
bool AcceptsChildKind(TXmlDNodeType parent, TXmlDNodeType child);

}  // namespace xmldom
