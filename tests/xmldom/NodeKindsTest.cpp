#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FailureText.h"
#include "TreeTestSupport.h"
#include "runtime/Exception.h"
#include "xmldom/XXmlDom.h"

namespace xmldom::testing {
namespace {

using Names = std::vector<std::string>;

class NodeKindsTest : public LiveObjectTest {};

void ExpectAbstract(const std::string& operation, const std::function<void()>& call) {
  SCOPED_TRACE(operation);
  EXPECT_EQ(FailureText<runtime::EAbstractError>(call), "Abstract Error");
}

TEST_F(NodeKindsTest, NodeTypeStringNamesTheTwelveKinds) {
  const Names names = {"element",
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
  for (int code = 0; code < 12; ++code) {
    EXPECT_EQ(NodeTypeString(static_cast<TXmlDNodeType>(code)), names[code]);
  }
  EXPECT_EQ(NodeTypeString(static_cast<TXmlDNodeType>(12)), "");
  EXPECT_EQ(NodeOfKind(TXmlDNodeType::Comment)->NodeTypeString(), "comment");
}

TEST_F(NodeKindsTest, UpdateNamesSplitsAtTheFirstColon) {
  struct Split {
    std::string name;
    std::string prefix;
    std::string localName;
  };
  const std::vector<Split> splits = {{"addrlist", "", "addrlist"},
                                     {"a:b:c", "a", "b:c"},
                                     {":x", "", "x"},
                                     {"x:", "x", ""},
                                     {"", "", ""},
                                     {"xs:ip", "xs", "ip"}};
  for (const Split& split : splits) {
    SCOPED_TRACE(split.name);
    TRef<TXmlDElement> element = Element("old:name");
    element->SetTagName(split.name);
    TRef<TXmlDAttribute> attribute = MakeRef<TXmlDAttribute>(split.name);
    for (const TXmlDNode* node :
         {static_cast<TXmlDNode*>(element.Get()), static_cast<TXmlDNode*>(attribute.Get())}) {
      EXPECT_EQ(node->NodeName(), split.name);
      EXPECT_EQ(node->Prefix(), split.prefix);
      EXPECT_EQ(node->LocalName(), split.localName);
    }
  }
  TRef<TXmlDText> text = Text("a:b");
  EXPECT_EQ(text->NodeName(), "#text");
  EXPECT_EQ(text->LocalName(), "#text");
  EXPECT_EQ(text->Prefix(), "");
}

TEST_F(NodeKindsTest, OperationsWithoutMeaningFailAsAbstract) {
  TRef<TXmlDNode> node = NodeOfKind(TXmlDNodeType::Element);
  ExpectAbstract("GetNodeName", [&] { node->GetNodeName(); });
  ExpectAbstract("GetNodeValue", [&] { node->GetNodeValue(); });
  ExpectAbstract("SetNodeValue", [&] { node->SetNodeValue("v"); });
  ExpectAbstract("GetText", [&] { node->GetText(); });
  ExpectAbstract("SetText", [&] { node->SetText("t"); });
  ExpectAbstract("GetXml", [&] { node->GetXml(); });
  ExpectAbstract("CloneNode", [&] { node->CloneNode(); });
  ExpectAbstract("UpdateNames", [&] { node->UpdateNames(); });

  TRef<TXmlDCharacterData> data = MakeRef<TXmlDCharacterData>(TXmlDNodeType::Comment, "remark");
  ExpectAbstract("character data GetNodeName", [&] { data->GetNodeName(); });
  ExpectAbstract("character data GetXml", [&] { data->GetXml(); });
  ExpectAbstract("character data CloneNode", [&] { data->CloneNode(); });
  EXPECT_EQ(data->NodeName(), "") << "character data does not update its names";
  EXPECT_EQ(data->GetText(), "remark");
  data->SetText("changed");
  EXPECT_EQ(data->GetNodeValue(), "changed");
  data->SetNodeValue("again");
  EXPECT_EQ(data->Data(), "again");
}

TEST_F(NodeKindsTest, ElementValueIsEmptyAndCannotBeSet) {
  TRef<TXmlDElement> element = Element("ip");
  EXPECT_EQ(element->GetNodeValue(), "");
  EXPECT_EQ(FailureText([&] { element->SetNodeValue("10.0.0.7"); }),
            "XML: Cannot set node value for \"element\"");
}

TEST_F(NodeKindsTest, CloneNodeCopiesOnlyTheNodeItself) {
  TRef<TXmlDElement> element = Element("address");
  element->SetAttribute("id", "1");
  element->AppendChild(Element("ip").Get());
  TRef<TXmlDNode> elementClone = element->CloneNode();
  EXPECT_EQ(elementClone->NodeType(), TXmlDNodeType::Element);
  EXPECT_EQ(elementClone->NodeName(), "address");
  EXPECT_FALSE(elementClone->HasChildNodes());
  EXPECT_EQ(elementClone->Attributes().Length(), 0);
  EXPECT_EQ(elementClone->GetXml(), "<address/>");
  ExpectUnlinked(*elementClone);

  TRef<TXmlDNode> attributeClone = element->GetAttributeNode("id")->CloneNode();
  EXPECT_EQ(attributeClone->GetXml(), "id=\"1\"");
  ExpectUnlinked(*attributeClone);

  TRef<TXmlDNode> textClone = Text("a&b")->CloneNode();
  EXPECT_EQ(textClone->NodeName(), "#text");
  EXPECT_EQ(textClone->GetNodeValue(), "a&b");
  EXPECT_EQ(textClone->RefCount(), 1);
}

TEST_F(NodeKindsTest, SetAttributeAddsAtTheEndAndReplacesInPlace) {
  TRef<TXmlDElement> element = Element("e");
  element->SetAttribute("b", "1");
  element->SetAttribute("a", "2");
  element->SetAttribute("b", "3");
  element->SetAttribute("B", "4");
  EXPECT_EQ(element->GetXml(), "<e b=\"3\" a=\"2\" B=\"4\"/>");
  EXPECT_EQ(element->GetAttributeNode("a")->Value(), "2");
  EXPECT_EQ(element->GetAttributeNode("A"), nullptr);
  ExpectLinksConsistent(*element);
}

TEST_F(NodeKindsTest, NodeOfAnotherClassAmongTheAttributesIsAnInvalidCast) {
  TRef<TXmlDElement> element = Element("e");
  element->Attributes().Insert(Element("id").Get(), -1);
  EXPECT_EQ(FailureText<runtime::EInvalidCast>([&] { element->GetAttributeNode("id"); }),
            "Invalid class typecast");
  EXPECT_THROW(element->SetAttribute("id", "1"), runtime::EInvalidCast);
  EXPECT_EQ(element->Attributes().Length(), 1);
}

TEST_F(NodeKindsTest, SetTextReplacesEveryChildByOneTextNode) {
  TRef<TXmlDElement> element = Element("hostname");
  element->AppendChild(MakeRef<TProbeNode>("1").Get());
  element->AppendChild(MakeRef<TProbeNode>("2").Get());
  element->AppendChild(MakeRef<TProbeNode>("3").Get());
  element->SetText("pc7");
  EXPECT_EQ(DestructionLog(), (Names{"3", "2", "1"}));
  ASSERT_EQ(element->ChildNodes().Length(), 1);
  EXPECT_EQ(element->FirstChild()->NodeName(), "#text");
  EXPECT_EQ(element->GetText(), "pc7");
  EXPECT_EQ(element->FirstChild()->RefCount(), 1);

  element->SetText("");
  ASSERT_EQ(element->ChildNodes().Length(), 1);
  EXPECT_EQ(element->GetXml(), "<hostname></hostname>");
}

// The one-step field gives what its three steps give: names, text, counts, links and the place
// after the children there were.
TEST_F(NodeKindsTest, AppendTextElementIsANewElementWithItsTextAppended) {
  const TXmlDName ip("x:ip");
  for (const std::string text : {"10.0.0.7", "", "a&b"}) {
    SCOPED_TRACE(text);
    const std::int64_t before = TRefObject::LiveObjects();
    TRef<TXmlDElement> stepwise = Element("address");
    TRef<TXmlDElement> oneStep = Element("address");
    for (TXmlDElement* address : {stepwise.Get(), oneStep.Get()}) {
      address->AppendChild(Text("before").Get());
    }
    TRef<TXmlDElement> field = Element("x:ip");
    field->SetText(text);
    stepwise->AppendChild(field.Get());
    field.Reset();
    TXmlDElement& added = oneStep->AppendTextElement(ip, text);

    EXPECT_EQ(oneStep->GetXml(), stepwise->GetXml());
    EXPECT_EQ(TRefObject::LiveObjects() - before, 2 * 3 * 4);
    EXPECT_EQ(&added, oneStep->LastChild());
    EXPECT_EQ(added.NodeName().data(), stepwise->LastChild()->NodeName().data());
    EXPECT_EQ(added.Prefix(), "x");
    EXPECT_EQ(added.LocalName(), "ip");
    EXPECT_EQ(added.RefCount(), 1);
    EXPECT_EQ(added.FirstChild()->RefCount(), 1);
    EXPECT_EQ(added.FirstChild()->NodeName(), "#text");
    EXPECT_EQ(added.GetText(), text);
    ExpectLinksConsistent(*oneStep);
  }
}

TEST_F(NodeKindsTest, GetTextJoinsTextAcrossNestedElements) {
  TRef<TXmlDElement> element = Element("e");
  element->SetAttribute("ignored", "attribute");
  element->AppendChild(Text("x").Get());
  TRef<TXmlDElement> inner = Element("inner");
  inner->SetText("y");
  TRef<TXmlDElement> deeper = Element("deeper");
  deeper->AppendChild(MakeRef<TXmlDCharacterData>(TXmlDNodeType::CDataSection, "!").Get());
  inner->AppendChild(deeper.Get());
  element->AppendChild(inner.Get());
  element->AppendChild(MakeRef<TXmlDCharacterData>(TXmlDNodeType::Comment, "no").Get());
  element->AppendChild(Text("z").Get());
  EXPECT_EQ(element->GetText(), "xy!z");
  // An element of a class of its own gives its own text, whatever its children hold.
  struct TFixedText : public TXmlDElement {
    using TXmlDElement::TXmlDElement;
    std::string GetText() const override { return "F"; }
  };
  TRef<TXmlDElement> fixed = MakeRef<TFixedText>("fixed");
  fixed->SetText("hidden");
  inner->AppendChild(fixed.Get());
  EXPECT_EQ(element->GetText(), "xy!Fz");
  EXPECT_EQ(Element("empty")->GetText(), "");
}

}  // namespace
}  // namespace xmldom::testing
