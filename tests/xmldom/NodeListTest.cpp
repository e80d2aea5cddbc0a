#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FailureText.h"
#include "TreeTestSupport.h"
#include "runtime/Exception.h"
#include "xmldom/XXmlDom.h"

namespace xmldom::testing {
namespace {

using Names = std::vector<std::string>;

class NodeListTest : public LiveObjectTest {
 protected:
  // An element whose children are text nodes with these data.
  static TRef<TXmlDElement> WithChildren(const Names& data) {
    TRef<TXmlDElement> parent = Element("parent");
    for (const std::string& text : data) {
      parent->ChildNodes().Insert(Text(text).Get(), -1);
    }
    return parent;
  }
};

TEST_F(NodeListTest, InsertAtTheStartLinksTheNewNodeBeforeTheFormerFirst) {
  TRef<TXmlDElement> parent = WithChildren({"a", "b"});
  TXmlDNode* formerFirst = parent->FirstChild();
  TRef<TXmlDText> added = Text("new");
  EXPECT_EQ(parent->ChildNodes().Insert(added.Get(), 0), 0);
  EXPECT_EQ(added->PreviousSibling(), nullptr);
  EXPECT_EQ(added->NextSibling(), formerFirst);
  EXPECT_EQ(formerFirst->PreviousSibling(), added.Get());
  EXPECT_EQ(added->ParentNode(), parent.Get());
  EXPECT_EQ(ChildNames(*parent), (Names{"new", "a", "b"}));
  ExpectLinksConsistent(*parent);
}

TEST_F(NodeListTest, InsertAtTheEndAndInTheMiddleKeepsEveryLink) {
  TRef<TXmlDElement> parent = WithChildren({"a", "c"});
  EXPECT_EQ(parent->ChildNodes().Insert(Text("d").Get(), -1), 2);
  EXPECT_EQ(parent->ChildNodes().Insert(Text("b").Get(), 1), 1);
  EXPECT_EQ(ChildNames(*parent), (Names{"a", "b", "c", "d"}));
  EXPECT_EQ(parent->LastChild()->NextSibling(), nullptr);
  ExpectLinksConsistent(*parent);
}

TEST_F(NodeListTest, DeleteClosesTheGapAndLeavesTheNodeUnlinked) {
  for (int index : {0, 1, 2}) {
    SCOPED_TRACE("deleting index " + std::to_string(index));
    TRef<TXmlDElement> parent = WithChildren({"a", "b", "c"});
    TRef<TXmlDNode> deleted = parent->ChildNodes().Item(index);
    parent->ChildNodes().Delete(index);
    ExpectUnlinked(*deleted);
    EXPECT_EQ(parent->ChildNodes().Length(), 2);
    ExpectLinksConsistent(*parent);
  }
}

TEST_F(NodeListTest, DeleteDestroysANodeThatNobodyElseHolds) {
  TRef<TXmlDElement> parent = Element("parent");
  parent->ChildNodes().Insert(MakeRef<TProbeNode>("gone").Get(), -1);
  parent->ChildNodes().Delete(0);
  EXPECT_EQ(DestructionLog(), Names{"gone"});
  EXPECT_THROW(parent->ChildNodes().Delete(0), runtime::EListError);
}

TEST_F(NodeListTest, RefusedInsertLeavesListAndNodeAsTheyWere) {
  TRef<TXmlDElement> parent = WithChildren({"a"});
  TRef<TXmlDElement> other = WithChildren({"b"});
  TRef<TXmlDNode> linked = other->FirstChild();
  EXPECT_EQ(FailureText([&] { parent->ChildNodes().Insert(linked.Get(), 0); }),
            "XML: Cannot insert a node with parent node.");
  EXPECT_EQ(FailureText([&] { parent->ChildNodes().Insert(nullptr, 0); }), "XML: Invalid node.");
  TXmlDNodeList& children = parent->ChildNodes();
  TXmlDNodeList& childAttributes = parent->FirstChild()->Attributes();
  for (TXmlDNodeList* list : {&children, &childAttributes}) {
    EXPECT_EQ(FailureText([&] { list->Insert(parent.Get(), 0); }),
              "XML: Cannot insert a node under itself.");
  }
  TRef<TXmlDText> loose = Text("loose");
  EXPECT_THROW(parent->ChildNodes().Insert(loose.Get(), 2), runtime::EListError);
  EXPECT_THROW(parent->ChildNodes().Insert(loose.Get(), -2), runtime::EListError);
  ExpectUnlinked(*loose);
  EXPECT_EQ(loose->RefCount(), 1);
  EXPECT_EQ(ChildNames(*parent), Names{"a"});
  EXPECT_EQ(linked->ParentNode(), other.Get());
}

TEST_F(NodeListTest, ListThatDoesNotLinkLeavesLinksAlone) {
  TRef<TXmlDElement> parent = WithChildren({"a", "b"});
  TRef<TXmlDNodeList> plain = MakeRef<TXmlDNodeList>(nullptr, false);
  plain->Insert(parent->LastChild(), -1);
  plain->Insert(parent->FirstChild(), -1);
  plain->Delete(0);
  EXPECT_EQ(plain->Length(), 1);
  ExpectLinksConsistent(*parent);
  plain->Clear();
  ExpectLinksConsistent(*parent);
}

TEST_F(NodeListTest, FindByNameMatchesTheFirstExactName) {
  TRef<TXmlDElement> parent = Element("parent");
  for (const char* name : {"Ip", "ip", "x:ip", "ip"}) {
    parent->AppendChild(Element(name).Get());
  }
  const TXmlDNodeList& children = parent->ChildNodes();
  const TXmlDFound found = children.FindByName("ip");
  EXPECT_EQ(found.Index, 1);
  EXPECT_EQ(found.Node, children.Item(1));
  EXPECT_EQ(children.GetNamedItem("x:ip"), children.Item(2));
  const TXmlDFound missing = children.FindByName("IP");
  EXPECT_EQ(missing.Node, nullptr);
  EXPECT_EQ(missing.Index, -1);
  EXPECT_EQ(children.GetNamedItem("ip "), nullptr);
}

TEST_F(NodeListTest, ClearReleasesFromTheLastToTheFirstAndUnlinksSurvivors) {
  TRef<TXmlDElement> parent = Element("parent");
  TRef<TProbeNode> survivor = MakeRef<TProbeNode>("survivor");
  parent->AppendChild(MakeRef<TProbeNode>("first").Get());
  parent->AppendChild(survivor.Get());
  parent->AppendChild(MakeRef<TProbeNode>("third").Get());
  parent->ClearChildren();
  EXPECT_EQ(DestructionLog(), (Names{"third", "first"}));
  EXPECT_FALSE(parent->HasChildNodes());
  ExpectUnlinked(*survivor);
  EXPECT_EQ(survivor->RefCount(), 1);
}

TEST_F(NodeListTest, DestroyedNodeReleasesItsAttributesThenItsChildren) {
  {
    TRef<TXmlDElement> parent = Element("parent");
    parent->AppendChild(MakeRef<TProbeNode>("child 1").Get());
    parent->AppendChild(MakeRef<TProbeNode>("child 2").Get());
    parent->Attributes().Insert(MakeRef<TProbeNode>("attribute 1").Get(), -1);
    parent->Attributes().Insert(MakeRef<TProbeNode>("attribute 2").Get(), -1);
  }
  EXPECT_EQ(DestructionLog(), (Names{"attribute 2", "attribute 1", "child 2", "child 1"}));
}

TEST_F(NodeListTest, ListHeldBeyondItsOwnerIsEmptiedAndNamesNoOwner) {
  TRef<TXmlDNodeList> children;
  TRef<TXmlDText> held = Text("held");
  {
    TRef<TXmlDElement> parent = WithChildren({"a"});
    parent->AppendChild(held.Get());
    children = &parent->ChildNodes();
  }
  EXPECT_EQ(children->Length(), 0);
  EXPECT_EQ(children->OwnerNode(), nullptr);
  ExpectUnlinked(*held);
}

}  // namespace
}  // namespace xmldom::testing
