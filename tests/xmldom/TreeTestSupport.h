#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LiveObjectTest.h"
#include "xmldom/XXmlDom.h"

namespace xmldom::testing {

// A text node that writes its data to the destruction log when it is destroyed.
class TProbeNode : public TXmlDText {
 public:
  using TXmlDText::TXmlDText;
  ~TProbeNode() override { DestructionLog().emplace_back(Data()); }
};

// A node of any kind, including those that have no class of their own.
inline TRef<TXmlDNode> NodeOfKind(TXmlDNodeType kind) {
  return MakeRef<TXmlDNode>(kind);
}

inline TRef<TXmlDElement> Element(const std::string& tagName) {
  return MakeRef<TXmlDElement>(tagName);
}

inline TRef<TXmlDText> Text(const std::string& data) {
  return MakeRef<TXmlDText>(data);
}

// The NodeName of every child, in order; "#text" nodes give their data instead.
std::vector<std::string> ChildNames(const TXmlDNode& node);

// Checks that the parent and sibling links of every node below this one agree with the lists
// that hold them.
void ExpectLinksConsistent(const TXmlDNode& node);

// Checks that the node is in no list: no parent, no siblings.
void ExpectUnlinked(const TXmlDNode& node);

}  // namespace xmldom::testing
