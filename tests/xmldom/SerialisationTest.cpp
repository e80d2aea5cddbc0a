#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <utility>

#include "TreeTestSupport.h"
#include "xmldom/XXmlDom.h"

namespace xmldom::testing {
namespace {

class SerialisationTest : public LiveObjectTest {};

// Every control byte that XML cannot carry as "?", then the five replacements one after the
// other, as the escaping is defined.
std::string EscapeInFiveSteps(std::string text) {
  for (char& character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte >= 0x01 && byte <= 0x1F && byte != '\t' && byte != '\n' && byte != '\r') {
      character = '?';
    }
  }
  const std::pair<std::string, std::string> steps[] = {
      {"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}, {"\"", "&quot;"}, {"'", "&apos;"}};
  for (const auto& [from, to] : steps) {
    std::string result;
    std::string::size_type start = 0;
    for (std::string::size_type found; (found = text.find(from, start)) != std::string::npos;
         start = found + from.size()) {
      result.append(text, start, found - start).append(to);
    }
    text = result.append(text, start);
  }
  return text;
}

TEST_F(SerialisationTest, EscapingMatchesTheFiveReplacementsInOrder) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string text(1, static_cast<char>(byte));
    EXPECT_EQ(EscapeXmlText(text), EscapeInFiveSteps(text)) << "byte " << byte;
  }
  std::mt19937 random(7);
  const std::string alphabet = std::string("&<>\"'a;#\xE9\r\x01\x1F\t\n\x7F\0", 16);
  for (int sample = 0; sample < 2000; ++sample) {
    std::string text(random() % 12, ' ');
    for (char& character : text) {
      character = alphabet[random() % alphabet.size()];
    }
    ASSERT_EQ(EscapeXmlText(text), EscapeInFiveSteps(text)) << text;
  }
  // Long plain stretches with a few markup or control bytes anywhere in them.
  for (int sample = 0; sample < 2000; ++sample) {
    std::string text(random() % 40, 'x');
    for (int mark = 0; mark < 3 && !text.empty(); ++mark) {
      text[random() % text.size()] = alphabet[random() % alphabet.size()];
    }
    ASSERT_EQ(EscapeXmlText(text), EscapeInFiveSteps(text)) << text;
    ASSERT_EQ(EscapedXmlTextLength(text), EscapeInFiveSteps(text).size()) << text;
  }
  EXPECT_EQ(EscapeXmlText("&amp;"), "&amp;amp;");
  EXPECT_EQ(EscapeXmlText("a<b>'c'\"d\""), "a&lt;b&gt;&apos;c&apos;&quot;d&quot;");
  EXPECT_EQ(EscapeXmlText("tab\there\r\n\x01\xFF"), "tab\there\r\n?\xFF");
}

TEST_F(SerialisationTest, CharactersThatXmlCannotCarryBecomeQuestionMarks) {
  const std::string utf8Only = kNarrowTextIsUtf8 ? "?" : "";
  const struct {
    std::string text;
    std::string escaped;
  } rows[] = {
      {"pc\x01", "pc?"},
      {"\x08\x0B\x0C\x0E\x1F", "?????"},
      {"\t\n\r\x20\x7F\x80\xFF", "\t\n\r\x20\x7F\x80\xFF"},
      {"a\x02&b", "a?&amp;b"},
      {"x\xEF\xBF\xBEy", kNarrowTextIsUtf8 ? "x?y" : "x\xEF\xBF\xBEy"},
      {"\xEF\xBF\xBF", kNarrowTextIsUtf8 ? "?" : "\xEF\xBF\xBF"},
      {"abcdef\xEF\xBF\xBEghijklmnop",
       kNarrowTextIsUtf8 ? "abcdef?ghijklmnop" : "abcdef\xEF\xBF\xBEghijklmnop"},
      {"\xEF\xBF\xBF\xEF\xBF\xBE<",
       utf8Only + utf8Only + (kNarrowTextIsUtf8 ? "&lt;" : "\xEF\xBF\xBF\xEF\xBF\xBE&lt;")},
      // U+FFFD and cut sequences are characters, or not for XML to judge, and pass.
      {"\xEF\xBF\xBD\xEF\xBF", "\xEF\xBF\xBD\xEF\xBF"},
      {"\xEF\xBE\xBF", "\xEF\xBE\xBF"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(EscapeXmlText(row.text), row.escaped) << row.text;
    EXPECT_EQ(EscapedXmlTextLength(row.text), row.escaped.size()) << row.text;
    TRef<TXmlDElement> field = Element("hostname");
    field->SetText(row.text);
    EXPECT_EQ(field->GetXml(), "<hostname>" + row.escaped + "</hostname>") << row.text;
  }
}

TEST_F(SerialisationTest, ElementWithoutChildrenClosesItself) {
  EXPECT_EQ(Element("e")->GetXml(), "<e/>");
  TRef<TXmlDElement> withAttribute = Element("addrlist");
  withAttribute->SetAttribute("version", "4");
  EXPECT_EQ(withAttribute->GetXml(), "<addrlist version=\"4\"/>");
  EXPECT_EQ(withAttribute->GetAttributeNode("version")->GetXml(), "version=\"4\"");
}

TEST_F(SerialisationTest, NamesAreWrittenAsTheyAreAndValuesEscaped) {
  TRef<TXmlDElement> element = Element("a&b");
  element->SetAttribute("x<y", "1 & \"2\" <'3'>");
  element->AppendChild(Text("R&D <lab>").Get());
  EXPECT_EQ(element->GetXml(),
            "<a&b x<y=\"1 &amp; &quot;2&quot; &lt;&apos;3&apos;&gt;\">R&amp;D &lt;lab&gt;</a&b>");
}

TEST_F(SerialisationTest, LeaseRecordIsWrittenByteForByte) {
  TRef<TXmlDElement> root = Element("addrlist");
  root->SetAttribute("version", "4");
  TRef<TXmlDElement> address = Element("address");
  for (const auto& [name, value] : {std::pair{"hostname", "pc7"}, std::pair{"ip", "10.0.0.7"},
                                    std::pair{"mac", "00-0C-29-AA-BB-CC"}}) {
    TRef<TXmlDElement> field = Element(name);
    field->SetText(value);
    address->AppendChild(field.Get());
  }
  root->AppendChild(address.Get());
  EXPECT_EQ(root->GetXml(),
            "<addrlist version=\"4\"><address><hostname>pc7</hostname><ip>10.0.0.7</ip>"
            "<mac>00-0C-29-AA-BB-CC</mac></address></addrlist>");

  address->FirstChild()->SetText("");
  std::string appended = "prefix:";
  root->AppendXml(appended);
  EXPECT_EQ(appended,
            "prefix:<addrlist version=\"4\"><address><hostname></hostname><ip>10.0.0.7</ip>"
            "<mac>00-0C-29-AA-BB-CC</mac></address></addrlist>");
}

// The tree that the XML result file builds, at a size where waste would show.
TEST_F(SerialisationTest, HundredThousandAddressesLeaveNothingAlive) {
  constexpr int kAddresses = 100'000;
  const std::int64_t liveBefore = TRefObject::LiveObjects();
  const auto start = std::chrono::steady_clock::now();
  std::string xml;
  {
    TRef<TXmlDElement> root = Element("addrlist");
    root->SetAttribute("version", "4");
    for (int record = 0; record < kAddresses; ++record) {
      TRef<TXmlDElement> address = Element("address");
      const std::string number = std::to_string(record);
      for (const auto& [name, value] :
           {std::pair<const char*, std::string>{"hostname", "host" + number},
            {"ip", "10.0." + std::to_string(record / 256) + "." + std::to_string(record % 256)},
            {"mac", "00-0C-29-" + number}}) {
        TRef<TXmlDElement> field = Element(name);
        field->SetText(value);
        address->AppendChild(field.Get());
      }
      root->AppendChild(address.Get());
    }
    EXPECT_EQ(TRefObject::LiveObjects() - liveBefore, 3 * (2 + 7 * kAddresses))
        << "every node counts with its two lists";
    xml = root->GetXml();
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  std::cout << "100000 addresses: " << xml.size() << " bytes in " << elapsed.count()
            << " ms; live objects after release: " << TRefObject::LiveObjects() - liveBefore
            << std::endl;
  EXPECT_EQ(TRefObject::LiveObjects(), liveBefore);
  EXPECT_TRUE(xml.starts_with("<addrlist version=\"4\"><address><hostname>host0</hostname>"));
  EXPECT_TRUE(xml.ends_with("<mac>00-0C-29-99999</mac></address></addrlist>"));
}

}  // namespace
}  // namespace xmldom::testing
