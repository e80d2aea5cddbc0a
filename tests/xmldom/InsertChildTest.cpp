#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FailureText.h"
#include "TreeTestSupport.h"
#include "runtime/Exception.h"
#include "xmldom/XXmlDom.h"

namespace xmldom::testing {
namespace {

using Names = std::vector<std::string>;

class InsertChildTest : public LiveObjectTest {};

// Every pair of kinds, against the table written out here rather than taken from the code.
TEST_F(InsertChildTest, KindTableDecidesWhichChildrenAreTaken) {
  const std::set<int> content = {0, 2, 3, 4, 6, 7, 10};
  const std::set<int> documentContent = {0, 6, 7, 9, 10};
  std::set<int> every;
  const std::vector<int> codes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 200, 255};
  every.insert(codes.begin(), codes.end());
  const std::map<int, std::set<int>> accepted = {{0, content}, {10, content}, {8, documentContent},
                                                 {4, every},   {5, every},    {9, every}};

  for (int parentCode : codes) {
    for (int childCode : codes) {
      SCOPED_TRACE("parent " + std::to_string(parentCode) + ", child " + std::to_string(childCode));
      TRef<TXmlDNode> parent = NodeOfKind(static_cast<TXmlDNodeType>(parentCode));
      TRef<TXmlDNode> child = NodeOfKind(static_cast<TXmlDNodeType>(childCode));
      const auto rule = accepted.find(parentCode);
      const bool expected = rule != accepted.end() && rule->second.contains(childCode);
      if (expected) {
        EXPECT_EQ(parent->AppendChild(child.Get()), 0);
        // An empty fragment gives nothing to insert.
        const bool inserted = childCode != 10;
        EXPECT_EQ(parent->ChildNodes().Length(), inserted ? 1 : 0);
        EXPECT_EQ(child->ParentNode(), inserted ? parent.Get() : nullptr);
      } else {
        EXPECT_EQ(FailureText([&] { parent->AppendChild(child.Get()); }),
                  "XML: Element type error.");
        EXPECT_FALSE(parent->HasChildNodes());
        ExpectUnlinked(*child);
      }
    }
  }
}

TEST_F(InsertChildTest, AppendingToASecondElementMovesTheNode) {
  TRef<TXmlDElement> first = Element("first");
  TRef<TXmlDElement> second = Element("second");
  TRef<TXmlDText> text = Text("t");
  first->AppendChild(text.Get());
  EXPECT_EQ(second->AppendChild(text.Get()), 0);
  EXPECT_FALSE(first->HasChildNodes());
  EXPECT_EQ(second->ChildNodes().Length(), 1);
  EXPECT_EQ(text->ParentNode(), second.Get());
  EXPECT_EQ(text->RefCount(), 2);
}

TEST_F(InsertChildTest, MoveBetweenParentsRelinksBothLists) {
  TRef<TXmlDElement> from = Element("from");
  TRef<TXmlDElement> to = Element("to");
  for (const char* name : {"a", "b", "c"}) {
    from->AppendChild(Element(name).Get());
  }
  to->AppendChild(Element("x").Get());
  EXPECT_EQ(to->InsertChild(from->ChildNodes().Item(1), 0), 0);
  EXPECT_EQ(ChildNames(*from), (Names{"a", "c"}));
  EXPECT_EQ(ChildNames(*to), (Names{"b", "x"}));
  ExpectLinksConsistent(*from);
  ExpectLinksConsistent(*to);
}

TEST_F(InsertChildTest, MoveWithinOneParentReadsTheIndexWithoutTheChild) {
  struct Move {
    int from;
    int to;
    Names result;
  };
  const std::vector<Move> moves = {{0, 1, {"B", "A", "C"}},
                                   {0, 2, {"B", "C", "A"}},
                                   {2, 0, {"C", "A", "B"}},
                                   {1, 1, {"A", "B", "C"}},
                                   {2, 1, {"A", "C", "B"}}};
  for (const Move& move : moves) {
    SCOPED_TRACE("from " + std::to_string(move.from) + " to " + std::to_string(move.to));
    TRef<TXmlDElement> parent = Element("p");
    for (const char* name : {"A", "B", "C"}) {
      parent->AppendChild(Element(name).Get());
    }
    EXPECT_EQ(parent->InsertChild(parent->ChildNodes().Item(move.from), move.to), move.to);
    EXPECT_EQ(ChildNames(*parent), move.result);
    ExpectLinksConsistent(*parent);
  }
}

TEST_F(InsertChildTest, ChildReleasedByClearChildrenCanBeAppendedAnywhere) {
  TRef<TXmlDElement> parent = Element("parent");
  TRef<TXmlDElement> other = Element("other");
  TRef<TXmlDText> kept = Text("kept");
  parent->AppendChild(Text("gone").Get());
  parent->AppendChild(kept.Get());
  parent->ClearChildren();
  ExpectUnlinked(*kept);
  EXPECT_EQ(other->AppendChild(kept.Get()), 0);
  EXPECT_EQ(parent->AppendChild(kept.Get()), 0);
  EXPECT_EQ(kept->ParentNode(), parent.Get());
  EXPECT_FALSE(other->HasChildNodes());
}

// A tree on which every refused insertion is tried; none may change a byte of it.
class RefusedInsertTest : public InsertChildTest {
 protected:
  void SetUp() override {
    root = Element("root");
    a = Element("a");
    a->SetText("1");
    root->AppendChild(a.Get());
    TRef<TXmlDElement> b = Element("b");
    b->SetAttribute("id", "2");
    root->AppendChild(b.Get());
    root->AppendChild(Text("t").Get());
    other = Element("other");
    other->SetText("o");
    strayText = Text("stray");
    // A node whose parent does not list it among its children.
    other->Attributes().Insert(strayText.Get(), -1);
  }

  void ExpectRefused(const std::function<void()>& insert, const std::string& message) {
    const std::string rootXml = root->GetXml();
    const std::string otherChildren = ChildNames(*other)[0];
    const std::int32_t count = a->RefCount();
    EXPECT_EQ(FailureText(insert), message);
    EXPECT_EQ(root->GetXml(), rootXml);
    EXPECT_EQ(ChildNames(*other), Names{otherChildren});
    EXPECT_EQ(a->RefCount(), count);
    EXPECT_EQ(a->ParentNode(), root.Get());
    ExpectLinksConsistent(*root);
    ExpectLinksConsistent(*other);
  }

  TRef<TXmlDElement> root;
  TRef<TXmlDElement> a;
  TRef<TXmlDElement> other;
  TRef<TXmlDText> strayText;
};

TEST_F(RefusedInsertTest, WrongKindNothingOrTheNodeItself) {
  TRef<TXmlDAttribute> attribute = MakeRef<TXmlDAttribute>("id");
  ExpectRefused([&] { root->AppendChild(attribute.Get()); }, "XML: Element type error.");
  ExpectRefused([&] { root->InsertChild(nullptr, 0); }, "XML: Invalid node.");
  ExpectRefused([&] { a->AppendChild(a.Get()); }, "XML: Cannot insert a node under itself.");
  ExpectRefused([&] { a->AppendChild(root.Get()); }, "XML: Cannot insert a node under itself.");
  ExpectRefused([&] { a->FirstChild()->AppendChild(root.Get()); }, "XML: Element type error.");
}

TEST_F(RefusedInsertTest, IndexOutsideTheChildrenLeavesTheNodeWhereItWas) {
  ExpectRefused([&] { root->AppendChild(a.Get()); }, "List index out of bounds (3)");
  ExpectRefused([&] { root->InsertChild(a.Get(), 3); }, "List index out of bounds (3)");
  ExpectRefused([&] { other->InsertChild(a.Get(), 2); }, "List index out of bounds (2)");
  ExpectRefused([&] { other->InsertChild(a.Get(), -2); }, "List index out of bounds (-2)");
}

TEST_F(RefusedInsertTest, ChildThatItsParentDoesNotListIsNotTaken) {
  ExpectRefused([&] { root->AppendChild(strayText.Get()); },
                "XML: Failed to find an invalid child node.");
  EXPECT_EQ(strayText->ParentNode(), other.Get());
  EXPECT_EQ(other->Attributes().Item(0), strayText.Get());
}

TEST_F(RefusedInsertTest, ChildThatNobodyHeldIsDestroyedByAFailureAfterTheHold) {
  // A node passed straight from its creation, with nobody owning it yet.
  auto* orphan = new TProbeNode("orphan");
  ExpectRefused([&] { root->InsertChild(orphan, 9); }, "List index out of bounds (9)");
  EXPECT_EQ(DestructionLog(), Names{"orphan"});
}

TEST_F(RefusedInsertTest, NodeThatNobodyHeldSurvivesBeingRefusedUnderItself) {
  const std::int64_t liveBefore = TRefObject::LiveObjects();
  // Passed straight from its creation, with nobody owning it yet.
  auto* top = new TXmlDElement("top");
  TRef<TXmlDElement> inner = Element("inner");
  top->AppendChild(inner.Get());
  EXPECT_EQ(FailureText([&] { inner->AppendChild(top); }),
            "XML: Cannot insert a node under itself.");
  EXPECT_EQ(FailureText([&] { top->InsertChild(top, 0); }),
            "XML: Cannot insert a node under itself.");
  EXPECT_EQ(TRefObject::LiveObjects() - liveBefore, 6) << "both nodes and their lists";
  EXPECT_EQ(top->RefCount(), 0);
  EXPECT_EQ(inner->ParentNode(), top);
  EXPECT_EQ(top->GetXml(), "<top><inner/></top>");
  const TRef<TXmlDElement> owner = top;
}

// A document fragment with three children: an element, a text node and an element.
class FragmentTest : public InsertChildTest {
 protected:
  void SetUp() override {
    fragment = NodeOfKind(TXmlDNodeType::DocumentFragment);
    fragment->AppendChild(Element("e1").Get());
    fragment->AppendChild(Text("t").Get());
    fragment->AppendChild(Element("e2").Get());
  }

  TRef<TXmlDNode> fragment;
};

TEST_F(FragmentTest, ChildrenMoveInTheirOrderAndTheFragmentStaysEmpty) {
  TRef<TXmlDElement> target = Element("target");
  target->AppendChild(Element("x").Get());
  target->AppendChild(Element("y").Get());
  EXPECT_EQ(target->InsertChild(fragment.Get(), 1), 1);
  EXPECT_EQ(ChildNames(*target), (Names{"x", "e1", "t", "e2", "y"}));
  EXPECT_FALSE(fragment->HasChildNodes());
  ExpectUnlinked(*fragment);
  ExpectLinksConsistent(*target);
  EXPECT_EQ(target->GetXml(), "<target><x/><e1/>t<e2/><y/></target>");
}

TEST_F(FragmentTest, NestedFragmentGivesItsChildrenToo) {
  TRef<TXmlDNode> inner = NodeOfKind(TXmlDNodeType::DocumentFragment);
  inner->AppendChild(Element("i1").Get());
  inner->AppendChild(Element("i2").Get());
  fragment->InsertChild(inner.Get(), 1);
  // Appending a fragment moved its children, not itself.
  EXPECT_EQ(ChildNames(*fragment), (Names{"e1", "i1", "i2", "t", "e2"}));
  fragment->ChildNodes().Insert(inner.Get(), 2);
  inner->AppendChild(Element("deep").Get());

  TRef<TXmlDElement> target = Element("target");
  target->AppendChild(fragment.Get());
  EXPECT_EQ(ChildNames(*target), (Names{"e1", "i1", "deep", "i2", "t", "e2"}));
  ExpectLinksConsistent(*target);
}

TEST_F(FragmentTest, ChildRefusedHalfwayLeavesEverythingInPlace) {
  // A document takes both elements but not the text between them.
  TRef<TXmlDNode> document = NodeOfKind(TXmlDNodeType::Document);
  document->AppendChild(Element("root").Get());
  EXPECT_EQ(FailureText([&] { document->AppendChild(fragment.Get()); }),
            "XML: Element type error.");
  EXPECT_EQ(ChildNames(*document), Names{"root"});
  EXPECT_EQ(ChildNames(*fragment), (Names{"e1", "t", "e2"}));
  ExpectLinksConsistent(*fragment);
  ExpectLinksConsistent(*document);
}

TEST_F(FragmentTest, FragmentHeldOnlyByItsParentIsNotLostByARefusedMove) {
  TRef<TXmlDElement> holder = Element("holder");
  holder->ChildNodes().Insert(fragment.Get(), -1);
  TXmlDNode* held = fragment.Get();
  fragment.Reset();
  TRef<TXmlDNode> document = NodeOfKind(TXmlDNodeType::Document);
  EXPECT_THROW(document->AppendChild(held), runtime::Exception);
  ASSERT_EQ(holder->FirstChild(), held);
  EXPECT_EQ(ChildNames(*held), (Names{"e1", "t", "e2"}));

  TRef<TXmlDElement> target = Element("target");
  EXPECT_THROW(target->InsertChild(held, 1), runtime::EListError);
  EXPECT_EQ(ChildNames(*held), (Names{"e1", "t", "e2"}));

  // Once moved, the fragment is empty, out of its parent and held by nobody.
  EXPECT_EQ(target->AppendChild(held), 0);
  EXPECT_FALSE(holder->HasChildNodes());
  EXPECT_EQ(ChildNames(*target), (Names{"e1", "t", "e2"}));
}

TEST_F(FragmentTest, FragmentCannotGoUnderOneOfItsChildren) {
  TXmlDNode* child = fragment->FirstChild();
  EXPECT_EQ(FailureText([&] { child->AppendChild(fragment.Get()); }),
            "XML: Cannot insert a node under itself.");
  EXPECT_EQ(ChildNames(*fragment), (Names{"e1", "t", "e2"}));
}

}  // namespace
}  // namespace xmldom::testing
