#include "xmldom/NodeType.h"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace xmldom {

namespace {

constexpr std::array<const char*, 12> kNodeTypeNames = {"element",
                                                        "attribute",
                                                        "text",
                                                        "cdatasection",
                                                        "entityreference",
                                                        "entity",
                                                        "processinginstruction",
                                                        "comment",
                                                        "document",
                                                        "documenttype",
                                                        "documentfragment",
                                                        "notation"};

// A set of the named kinds, one bit per code.
using KindSet = std::uint16_t;

constexpr KindSet Kinds(std::initializer_list<TXmlDNodeType> kinds) {
  KindSet set = 0;
  for (TXmlDNodeType kind : kinds) {
    set = static_cast<KindSet>(set | (1u << static_cast<unsigned>(kind)));
  }
  return set;
}

// Codes without a name belong to no set.
constexpr bool Contains(KindSet set, TXmlDNodeType kind) {
  const auto code = static_cast<unsigned>(kind);
  return code < kNodeTypeNames.size() && (set >> code & 1u) != 0;
}

using enum TXmlDNodeType;

constexpr KindSet kContentKinds = Kinds({Element, Text, CDataSection, EntityReference,
                                         ProcessingInstruction, Comment, DocumentFragment});
constexpr KindSet kDocumentKinds =
    Kinds({Element, ProcessingInstruction, Comment, DocumentType, DocumentFragment});

}  // namespace

std::string NodeTypeString(TXmlDNodeType kind) {
  const auto code = static_cast<std::size_t>(kind);
  return code < kNodeTypeNames.size() ? kNodeTypeNames[code] : "";
}

bool AcceptsChildKind(TXmlDNodeType parent, TXmlDNodeType child) {
  switch (parent) {
    case Element:
    case DocumentFragment:
      return Contains(kContentKinds, child);
    case Document:
      return Contains(kDocumentKinds, child);
    case EntityReference:
    case Entity:
    case DocumentType:
      return true;
    default:
      return false;
  }
}

}  // namespace xmldom
