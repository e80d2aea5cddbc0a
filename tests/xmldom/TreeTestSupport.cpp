#include "TreeTestSupport.h"

namespace xmldom::testing {

std::vector<std::string> ChildNames(const TXmlDNode& node) {
  std::vector<std::string> names;
  for (int index = 0; index < node.ChildNodes().Length(); ++index) {
    const TXmlDNode& child = *node.ChildNodes().Item(index);
    names.push_back(child.NodeType() == TXmlDNodeType::Text ? child.GetNodeValue()
                                                            : child.NodeName());
  }
  return names;
}

namespace {

void ExpectListLinked(const TXmlDNode& owner, const TXmlDNodeList& list) {
  for (int index = 0; index < list.Length(); ++index) {
    const TXmlDNode* node = list.Item(index);
    const TXmlDNode* before = index > 0 ? list.Item(index - 1) : nullptr;
    const TXmlDNode* after = index + 1 < list.Length() ? list.Item(index + 1) : nullptr;
    EXPECT_EQ(node->ParentNode(), &owner) << "at index " << index;
    EXPECT_EQ(node->PreviousSibling(), before) << "at index " << index;
    EXPECT_EQ(node->NextSibling(), after) << "at index " << index;
    ExpectLinksConsistent(*node);
  }
}

}  // namespace

void ExpectLinksConsistent(const TXmlDNode& node) {
  EXPECT_EQ(node.ChildNodes().OwnerNode(), &node);
  EXPECT_EQ(node.Attributes().OwnerNode(), &node);
  ExpectListLinked(node, node.ChildNodes());
  ExpectListLinked(node, node.Attributes());
}

void ExpectUnlinked(const TXmlDNode& node) {
  EXPECT_EQ(node.ParentNode(), nullptr);
  EXPECT_EQ(node.PreviousSibling(), nullptr);
  EXPECT_EQ(node.NextSibling(), nullptr);
}

}  // namespace xmldom::testing
