// How nodes keep their lists, names, text and memory: what the compact layout must not change.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FailureText.h"
#include "TreeTestSupport.h"
#include "runtime/Exception.h"
#include "xmldom/BlockPool.h"
#include "xmldom/BlockText.h"
#include "xmldom/NodeSequence.h"
#include "xmldom/XXmlDom.h"

namespace xmldom::testing {
namespace {

using Names = std::vector<std::string>;

class NodeStorageTest : public LiveObjectTest {};

// A text node whose count can be set near its limit.
class TCountedText : public TXmlDText {
 public:
  using TRefObject::SetRefCount;
  using TXmlDText::TXmlDText;
};

std::vector<std::string> DataOf(const TNodeSequence& items) {
  std::vector<std::string> data;
  for (const TXmlDNode* node : items) {
    data.push_back(node->GetNodeValue());
  }
  return data;
}

TEST_F(NodeStorageTest, SequenceKeepsOrderCountsAndBoundsFromOneNodeToMany) {
  TRef<TXmlDText> keep = Text("keep");
  {
    TNodeSequence items;
    items.Insert(0, keep.Get());
    EXPECT_EQ(keep->RefCount(), 2);
    EXPECT_EQ(items.At(0), keep.Get());
    // From the one node kept in place to an array, growing more than once.
    for (int count = 1; count < 20; ++count) {
      items.Insert(count, MakeRef<TProbeNode>(std::to_string(count)).Get());
    }
    items.Insert(1, MakeRef<TProbeNode>("second").Get());
    EXPECT_EQ(items.Count(), 21);
    EXPECT_EQ(DataOf(items)[1], "second");
    EXPECT_EQ(DataOf(items)[20], "19");
    EXPECT_EQ(items.IndexOf(keep.Get()), 0);
    EXPECT_EQ(items.IndexOf(nullptr), -1);
    EXPECT_EQ(FailureText([&] { items.At(21); }), "List index out of bounds (21)");
    EXPECT_EQ(FailureText([&] { items.Insert(23, keep.Get()); }), "List index out of bounds (23)");
    EXPECT_EQ(FailureText([&] { items.Extract(-1); }), "List index out of bounds (-1)");

    items.Extract(1);
    EXPECT_EQ(DestructionLog(), Names{"second"});
    items.Extract(0);
    EXPECT_EQ(keep->RefCount(), 1);
    EXPECT_EQ(DataOf(items).front(), "1");
    DestructionLog().clear();
  }
  // Destroying the sequence released the rest from the last to the first.
  ASSERT_EQ(DestructionLog().size(), 19u);
  EXPECT_EQ(DestructionLog().front(), "19");
  EXPECT_EQ(DestructionLog().back(), "1");
}

TEST_F(NodeStorageTest, NodeThatCannotBeCountedIsNotKept) {
  TRef<TCountedText> full = MakeRef<TCountedText>("full");
  full->SetRefCount(INT32_MAX);
  TNodeSequence items;
  items.Insert(0, Text("a").Get());
  EXPECT_EQ(FailureText([&] { items.Insert(0, full.Get()); }), "Integer overflow");
  EXPECT_EQ(DataOf(items), Names{"a"});
  full->SetRefCount(1);
}

TEST_F(NodeStorageTest, ClearLeavesNoLinkToADestroyedNodeAtAnyStep) {
  // The last child looks, while it is destroyed, at the links of the children still listed.
  struct TWitness : public TXmlDText {
    TWitness(TXmlDNode* before, std::vector<const void*>* seen)
        : TXmlDText("witness"), before_(before), seen_(seen) {}
    ~TWitness() override { seen_->push_back(before_->NextSibling()); }
    TXmlDNode* before_;
    std::vector<const void*>* seen_;
  };
  std::vector<const void*> seen;
  TRef<TXmlDElement> parent = Element("parent");
  TRef<TXmlDText> first = Text("first");
  parent->AppendChild(first.Get());
  parent->AppendChild(MakeRef<TWitness>(first.Get(), &seen).Get());
  parent->ClearChildren();
  EXPECT_EQ(seen, std::vector<const void*>{nullptr});
  ExpectUnlinked(*first);
}

TEST_F(NodeStorageTest, ListsLiveWithTheNodeWhetherOrNotAnybodyAsksForThem) {
  const std::int64_t before = TRefObject::LiveObjects();
  TRef<TXmlDElement> element = Element("e");
  EXPECT_EQ(TRefObject::LiveObjects() - before, 3) << "the node and its two lists";
  TXmlDNodeList& children = element->ChildNodes();
  TXmlDNamedNodeMap& attributes = element->Attributes();
  EXPECT_EQ(TRefObject::LiveObjects() - before, 3);
  EXPECT_EQ(&element->ChildNodes(), &children);
  EXPECT_EQ(&element->Attributes(), &attributes);
  EXPECT_EQ(children.RefCount(), 1);
  EXPECT_EQ(attributes.RefCount(), 1);
  EXPECT_TRUE(children.LinksNodes());

  // The list object and the node's own operations work on the same nodes.
  element->AppendChild(Text("by the node").Get());
  children.Insert(Text("by the list").Get(), -1);
  element->SetAttribute("a", "1");
  EXPECT_EQ(ChildNames(*element), (Names{"by the node", "by the list"}));
  EXPECT_EQ(attributes.Length(), 1);
  EXPECT_EQ(element->GetXml(), "<e a=\"1\">by the nodeby the list</e>");
  ExpectLinksConsistent(*element);
}

TEST_F(NodeStorageTest, NodesOfOneNameShareTheirNames) {
  TRef<TXmlDElement> first = Element("x:ip");
  TRef<TXmlDElement> second = Element("x:ip");
  EXPECT_EQ(first->NodeName().data(), second->NodeName().data());
  EXPECT_EQ(first->LocalName().data(), second->LocalName().data());
  EXPECT_EQ(second->Prefix(), "x");
  EXPECT_EQ(second->LocalName(), "ip");

  second->SetTagName("mac");
  EXPECT_EQ(first->NodeName(), "x:ip");
  EXPECT_EQ(second->TagName(), "mac");
  EXPECT_EQ(second->Prefix(), "");
  EXPECT_EQ(second->GetXml(), "<mac/>");
  first.Reset();
  // The last holder of a name gave it up; the name is made again when needed.
  EXPECT_EQ(Element("x:ip")->GetXml(), "<x:ip/>");
  EXPECT_EQ(Text("t")->NodeName(), "#text");
}

TEST_F(NodeStorageTest, XmlLengthIsTheLengthOfGetXml) {
  TRef<TXmlDElement> root = Element("root");
  root->SetAttribute("q", "\"it's\" <&>");
  root->AppendChild(Element("empty").Get());
  TRef<TXmlDElement> field = Element("field");
  field->SetText("R&D <lab> 'x' \"y\"");
  root->AppendChild(field.Get());
  root->AppendChild(Text("").Get());
  TRef<TXmlDText> changed = Text("plain");
  root->AppendChild(changed.Get());
  changed->SetNodeValue("now & then");
  EXPECT_EQ(root->XmlLength(), root->GetXml().size());
  EXPECT_EQ(root->GetXml(),
            "<root q=\"&quot;it&apos;s&quot; &lt;&amp;&gt;\"><empty/>"
            "<field>R&amp;D &lt;lab&gt; &apos;x&apos; &quot;y&quot;</field>now &amp; then</root>");
}

TEST_F(NodeStorageTest, KindThatDoesNotMeasureItselfIsStillWrittenWhole) {
  struct TUnmeasured : public TXmlDText {
    using TXmlDText::TXmlDText;
    void AppendXml(std::string& out) const override { out += "<!--" + GetNodeValue() + "-->"; }
    std::size_t XmlLength() const override { return 0; }
  };
  TRef<TXmlDElement> root = Element("r");
  root->AppendChild(MakeRef<TUnmeasured>(std::string(1000, 'c')).Get());
  EXPECT_EQ(root->GetXml(), "<r><!--" + std::string(1000, 'c') + "--></r>");
}

// Destruction goes as recursion would take it: a node, then its attributes and its children
// from the last to the first, each with everything below it.
TEST_F(NodeStorageTest, TreeIsDestroyedDepthFirstFromTheLastChild) {
  struct TProbeElement : public TXmlDElement {
    using TXmlDElement::TXmlDElement;
    ~TProbeElement() override { DestructionLog().push_back(TagName()); }
  };
  auto element = [](const char* name) { return MakeRef<TProbeElement>(name); };
  TRef<TXmlDElement> root = element("r");
  for (const char* name : {"x", "y"}) {
    TRef<TXmlDElement> child = element(name);
    for (const char* grandchild : {"1", "2"}) {
      TRef<TXmlDElement> below = element((std::string(name) + grandchild).c_str());
      below->AppendChild(MakeRef<TProbeNode>(std::string(name) + grandchild + "t").Get());
      child->AppendChild(below.Get());
    }
    root->AppendChild(child.Get());
  }
  root->Attributes().Insert(MakeRef<TProbeNode>("attribute").Get(), -1);
  root.Reset();
  EXPECT_EQ(DestructionLog(), (Names{"r", "attribute", "y", "y2", "y2t", "y1", "y1t", "x", "x2",
                                     "x2t", "x1", "x1t"}));
}

// While a node goes, the nodes still waiting in the lists of the nodes above it show the links
// that a recursive release would show them: their own parent, no next sibling. A tree released in
// a destructor goes whole before that destructor goes on, and so does one on the stack.
TEST_F(NodeStorageTest, WaitingNodesKeepTheirParentWhileTheNodesBeforeThemGo) {
  struct TWitness : public TXmlDText {
    TWitness(const std::string& name, const TXmlDNode& watched, const TXmlDNode& parent)
        : TXmlDText(name), watched_(watched), parent_(parent) {}
    ~TWitness() override {
      const bool linked = watched_.ParentNode() == &parent_ && watched_.NextSibling() == nullptr;
      DestructionLog().push_back(std::string(Data()) + (linked ? "" : " saw a wrong link"));
    }
    const TXmlDNode& watched_;
    const TXmlDNode& parent_;
  };
  // root -> {e1, e2}, each holding {a, w}, where w watches a; an attribute of the root watches e2.
  auto build = [](TXmlDNode& root) {
    for (const std::string number : {"1", "2"}) {
      TRef<TXmlDElement> element = Element("e" + number);
      TRef<TXmlDText> text = Text("a" + number);
      element->AppendChild(text.Get());
      element->AppendChild(MakeRef<TWitness>("w" + number, *text, *element).Get());
      root.AppendChild(element.Get());
    }
    root.Attributes().Insert(MakeRef<TWitness>("attribute", *root.LastChild(), root).Get(), -1);
  };
  struct THolder : public TXmlDText {
    explicit THolder(TRef<TXmlDNode> tree) : TXmlDText("holder"), tree_(std::move(tree)) {}
    ~THolder() override {
      tree_.Reset();
      DestructionLog().push_back("holder");
    }
    TRef<TXmlDNode> tree_;
  };
  // A node that does not begin its block.
  struct TOtherBase {
    virtual ~TOtherBase() = default;
    std::int64_t field = 0;
  };
  struct TSecondBaseElement : public TOtherBase, public TXmlDElement {
    using TXmlDElement::TXmlDElement;
  };
  const Names tree = {"attribute", "w2", "w1"};
  struct TCase {
    const char* how;
    std::function<void()> release;
    Names expected;
  };
  const std::vector<TCase> cases = {
      {"its last count",
       [&] {
         TRef<TXmlDElement> root = Element("root");
         build(*root);
       },
       tree},
      {"on the stack",
       [&] {
         TXmlDElement root("root");
         build(root);
       },
       tree},
      {"in the destructor of a node that goes",
       [&] {
         TRef<TXmlDElement> root = Element("root");
         build(*root);
         TRef<TXmlDElement> outer = Element("outer");
         outer->AppendChild(MakeRef<TProbeNode>("before").Get());
         outer->AppendChild(MakeRef<THolder>(std::move(root)).Get());
       },
       {"attribute", "w2", "w1", "holder", "before"}},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.how);
    DestructionLog().clear();
    test.release();
    EXPECT_EQ(DestructionLog(), test.expected);
  }
}

TEST_F(NodeStorageTest, ChainOfAHundredThousandElementsIsBuiltWrittenAndReleased) {
  constexpr int kDepth = 100000;
  TRef<TXmlDElement> root = Element("e");
  TXmlDElement* deepest = root.Get();
  for (int level = 1; level < kDepth; ++level) {
    const TRef<TXmlDElement> next = Element("e");
    deepest->AppendChild(next.Get());
    deepest = next.Get();
  }
  deepest->SetText("x");
  std::string expected;
  for (int level = 0; level < kDepth; ++level) {
    expected += "<e>";
  }
  expected += 'x';
  for (int level = 0; level < kDepth; ++level) {
    expected += "</e>";
  }
  EXPECT_EQ(root->XmlLength(), expected.size());
  EXPECT_EQ(root->GetXml(), expected);
  EXPECT_EQ(root->GetText(), "x");

  struct TPieces : public TXmlSink {
    void Write(std::string_view piece) override {
      text.append(piece);
      ++count;
    }
    std::string text;
    int count = 0;
  } pieces;
  root->WriteXml(pieces);
  EXPECT_EQ(pieces.text, expected);
  EXPECT_GT(pieces.count, 1);
  root.Reset();
}

// A tree goes node by node: anything that somebody still holds, a list object or a node of another
// class among them, survives whole.
TEST_F(NodeStorageTest, ReleasedTreeLeavesWhatIsHeldWholeAndTheModelReadyForMore) {
  const std::string longText(300, 'l');  // beyond the pool's blocks
  struct TCase {
    const char* what;
    bool withLongText;
    std::function<std::function<void()>(TXmlDElement& root)> hold;
  };
  const std::vector<TCase> cases = {
      {"nothing held", false, [](TXmlDElement&) { return std::function<void()>([] {}); }},
      {"nothing held, a text on the heap", true,
       [](TXmlDElement&) { return std::function<void()>([] {}); }},
      {"a text node", false,
       [](TXmlDElement& root) {
         TRef<TXmlDNode> text = root.LastChild()->FirstChild()->FirstChild();
         return std::function<void()>([text] {
           EXPECT_EQ(text->GetNodeValue(), "t9");
           ExpectUnlinked(*text);
         });
       }},
      {"an element with its subtree", true,
       [](TXmlDElement& root) {
         TRef<TXmlDNode> address = root.FirstChild();
         return std::function<void()>([address] {
           std::string expected = "<a><f>t0</f><g>";
           expected.append(300, 'l').append("</g></a>");
           EXPECT_EQ(address->GetXml(), expected);
         });
       }},
      {"a child list", false,
       [](TXmlDElement& root) {
         TRef<TXmlDNodeList> list = &root.FirstChild()->ChildNodes();
         return std::function<void()>([list] {
           EXPECT_EQ(list->Length(), 0);
           EXPECT_EQ(list->OwnerNode(), nullptr);
         });
       }},
      {"an attribute below the root", false,
       [](TXmlDElement& root) {
         static_cast<TXmlDElement*>(root.FirstChild())->SetAttribute("id", std::string(100, 'i'));
         return std::function<void()>([] {});
       }},
      {"a node of another class", false,
       [](TXmlDElement& root) {
         root.LastChild()->AppendChild(MakeRef<TProbeNode>("probe").Get());
         return std::function<void()>([] { EXPECT_EQ(DestructionLog(), Names{"probe"}); });
       }},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.what);
    DestructionLog().clear();
    const std::int64_t before = TRefObject::LiveObjects();
    std::function<void()> check;
    {
      TRef<TXmlDElement> root = Element("r");
      // Values beyond a string's own room: their memory goes with the attribute.
      root->SetAttribute("version", longText);
      for (int index = 0; index < 10; ++index) {
        TRef<TXmlDElement> address = Element("a");
        TRef<TXmlDElement> field = Element("f");
        field->SetText(std::string(1, 't').append(std::to_string(index)));
        address->AppendChild(field.Get());
        TRef<TXmlDElement> other = Element("g");
        other->SetText(index == 0 && test.withLongText ? longText : "u");
        address->AppendChild(other.Get());
        root->AppendChild(address.Get());
      }
      check = test.hold(*root);
    }
    check();
    check = nullptr;
    EXPECT_EQ(TRefObject::LiveObjects(), before);
    // Names, pool and counts serve the next tree as before.
    TRef<TXmlDElement> next = Element("a");
    next->SetText("again");
    next->SetAttribute("version", "5");
    EXPECT_EQ(next->GetXml(), "<a version=\"5\">again</a>");
    EXPECT_EQ(next->FirstChild()->NodeName(), "#text");
  }
}

TEST(BlockText, KeepsTheTextAndItsEscapedLength) {
  TBlockText text("a<b");
  EXPECT_EQ(text.View(), "a<b");
  EXPECT_EQ(text.EscapedSize(), 6u);
  // From a view of its own text.
  text.Assign(text.View().substr(1));
  EXPECT_EQ(text.View(), "<b");
  EXPECT_EQ(text.EscapedSize(), 5u);
  text.Assign("");
  EXPECT_EQ(text.View(), "");
  EXPECT_EQ(text.EscapedSize(), 0u);
  const std::string large(5000, '&');
  text.Assign(large);
  EXPECT_EQ(text.View(), large);
  EXPECT_EQ(text.EscapedSize(), 25000u);
}

TEST(BlockPool, BlocksAreDistinctAlignedAndReused) {
  struct Block {
    std::size_t size;
    unsigned char* bytes;
  };
  std::vector<Block> blocks;
  for (std::size_t size = 1; size <= 300; ++size) {
    auto* bytes = static_cast<unsigned char*>(AllocateBlock(size));
    const std::size_t alignment = size % 16 == 0 ? 16 : size % 8 == 0 ? 8 : 1;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % alignment, 0u) << "size " << size;
    std::fill(bytes, bytes + size, static_cast<unsigned char>(size));
    blocks.push_back({size, bytes});
  }
  for (const Block& block : blocks) {
    EXPECT_EQ(
        std::count(block.bytes, block.bytes + block.size, static_cast<unsigned char>(block.size)),
        static_cast<std::ptrdiff_t>(block.size))
        << "block of " << block.size << " bytes was overwritten";
  }
  for (const Block& block : blocks) {
    FreeBlock(block.bytes, block.size);
  }
  void* again = AllocateBlock(72);
  std::fill_n(static_cast<unsigned char*>(again), 72, 0);
  FreeBlock(again, 72);
}

// The pool itself, also in the builds with AddressSanitizer, whose nodes take their blocks from the
// heap: there it checks that no block reaches beyond its slab, no slab is used once returned, and
// the slabs go back with the last block.
TEST(BlockPool, OwnPoolKeepsBlocksApartOverManySlabsAndReusesThem) {
  struct Block {
    std::size_t size;
    unsigned char* bytes;
    unsigned char mark;
  };
  TBlockPool pool;
  std::vector<Block> blocks;
  // Sizes in a fixed random order, so that the slabs end at every kind of remainder.
  std::uint32_t random = 1;
  auto allocate = [&](int count) {
    for (int made = 0; made < count; ++made) {
      random = random * 1664525u + 1013904223u;
      const std::size_t size = 1 + (random >> 8) % kLargestPooled;
      auto* bytes = static_cast<unsigned char*>(pool.Allocate(size));
      const std::size_t alignment = size % 16 == 0 ? 16 : size % 8 == 0 ? 8 : 1;
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % alignment, 0u) << "size " << size;
      const auto mark = static_cast<unsigned char>(random >> 24);
      std::fill(bytes, bytes + size, mark);
      blocks.push_back({size, bytes, mark});
    }
  };
  auto intact = [](const Block& block) {
    return std::count(block.bytes, block.bytes + block.size, block.mark) ==
           static_cast<std::ptrdiff_t>(block.size);
  };
  // About 16 MB, over as many slabs.
  allocate(120000);
  // A third of the blocks go back, and more come out again among those still out.
  std::vector<Block> kept;
  for (std::size_t index = 0; index < blocks.size(); ++index) {
    EXPECT_TRUE(intact(blocks[index])) << "block of " << blocks[index].size << " bytes";
    if (index % 3 == 0) {
      pool.Free(blocks[index].bytes, blocks[index].size);
    } else {
      kept.push_back(blocks[index]);
    }
  }
  blocks = std::move(kept);
  allocate(60000);
  for (const Block& block : blocks) {
    EXPECT_TRUE(intact(block)) << "block of " << block.size << " bytes";
    pool.Free(block.bytes, block.size);
  }
}

}  // namespace
}  // namespace xmldom::testing
