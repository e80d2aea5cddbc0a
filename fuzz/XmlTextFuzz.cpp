// The XML document of one lease whose three fields are arbitrary bytes, built and serialised as
// the result file is. Whatever the bytes, a real XML parser must read the document and the fields
// back exactly as written: every character that XML cannot carry written as "?", and the line
// ends that every parser turns into LF. Bytes that are not UTF-8 pass unchanged, so a document
// holding them is read as ISO-8859-1, in which every byte is a character. No counted object may
// outlive the tree.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "xmldom/XXmlDom.h"

namespace {

using xmldom::MakeRef;
using xmldom::TRef;
using xmldom::TXmlDElement;

using Fields = std::array<std::string, 3>;
constexpr std::array<const char*, 3> kFieldNames = {"hostname", "ip", "mac"};

// Zero bytes separate the fields; whatever follows a third one is not used. A lease's fields come
// from the DHCP API as zero-terminated strings, so none of them ever holds a zero byte.
Fields SplitFields(std::string_view data) {
  Fields fields;
  for (std::string& field : fields) {
    const std::size_t end = data.find('\0');
    field = std::string(data.substr(0, end));
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
  }
  return fields;
}

// What the writer is to make of a field: the control bytes that XML cannot carry, and U+FFFE and
// U+FFFF in UTF-8, become "?".
std::string Carried(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
      out += '?';
    } else if (byte == 0xEF && text.substr(i + 1, 1) == "\xBF" && i + 2 < text.size() &&
               (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
      out += '?';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The bytes read as ISO-8859-1, given back as UTF-8, as the parser gives them.
std::string Utf8FromLatin1(std::string_view text) {
  std::string out;
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte < 0x80) {
      out += character;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Strict UTF-8 (no overlong forms, no surrogates) of XML Char code points only.
bool IsXmlCharacterData(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC2 ? 2
                                        : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size()) {
      return false;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < shortest[length] || (c >= 0xD800 && c <= 0xDFFF) || !IsXmlChar(c)) {
      return false;
    }
    i += length;
  }
  return true;
}

// What a parser delivers for the text: CR LF and a lone CR become LF.
std::string WithParsedLineEnds(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Document(const Fields& fields) {
  TRef<TXmlDElement> root = MakeRef<TXmlDElement>("addrlist");
  root->SetAttribute("version", "4");
  TRef<TXmlDElement> address = MakeRef<TXmlDElement>("address");
  for (std::size_t i = 0; i < fields.size(); ++i) {
    TRef<TXmlDElement> field = MakeRef<TXmlDElement>(kFieldNames[i]);
    field->SetText(fields[i]);
    address->AppendChild(field.Get());
  }
  root->AppendChild(address.Get());
  return "<?xml version=\"1.0\"?>\r\n" + root->GetXml();
}

std::string TextOf(xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content != nullptr ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

xmlNode* FirstElement(xmlNode* node) {
  while (node != nullptr && node->type != XML_ELEMENT_NODE) {
    node = node->next;
  }
  return node;
}

bool HasName(xmlNode* node, const char* name) {
  return node != nullptr && std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

// The parsed document must hold exactly the fields, in the writer's shape.
void CheckParsedBack(xmlDoc* document, const Fields& expected) {
  FUZZ_CHECK(document != nullptr);
  xmlNode* root = xmlDocGetRootElement(document);
  FUZZ_CHECK(HasName(root, "addrlist"));
  xmlChar* version = xmlGetProp(root, reinterpret_cast<const xmlChar*>("version"));
  FUZZ_CHECK(version != nullptr && std::string_view(reinterpret_cast<char*>(version)) == "4");
  xmlFree(version);
  xmlNode* address = FirstElement(root->children);
  FUZZ_CHECK(HasName(address, "address") && FirstElement(address->next) == nullptr);
  xmlNode* field = FirstElement(address->children);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    FUZZ_CHECK(HasName(field, kFieldNames[i]));
    FUZZ_CHECK(TextOf(field) == WithParsedLineEnds(expected[i]));
    field = FirstElement(field->next);
  }
  FUZZ_CHECK(field == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Fields fields = SplitFields(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::int64_t objectsBefore = xmldom::TRefObject::LiveObjects();
  const std::string xml = Document(fields);
  FUZZ_CHECK(xmldom::TRefObject::LiveObjects() == objectsBefore);
  Fields expected;
  bool utf8 = true;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    expected[i] = Carried(fields[i]);
    utf8 = utf8 && IsXmlCharacterData(expected[i]);
  }
  if (!utf8) {
    for (std::string& field : expected) {
      field = Utf8FromLatin1(field);
    }
  }
  xmlDoc* document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "leases.xml",
                                   utf8 ? nullptr : "ISO-8859-1",
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  CheckParsedBack(document, expected);
  xmlFreeDoc(document);
  return 0;
}
