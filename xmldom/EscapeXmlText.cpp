#include "xmldom/EscapeXmlText.h"

namespace xmldom {

namespace {

// The entity of a character that must be escaped, or nothing.
constexpr std::string_view EntityOf(char character) {
  switch (character) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    default:
      return {};
  }
}

}  // namespace

std::string EscapeXmlText(std::string_view text) {
  std::string escaped;
  AppendEscapedXmlText(escaped, text);
  return escaped;
}

// One pass gives what replacing each of the five characters in turn would: the ampersand is the
// only character that the entities themselves contain, and it is never escaped twice here.
void AppendEscapedXmlText(std::string& out, std::string_view text) {
  std::string_view::size_type plainStart = 0;
  for (std::string_view::size_type index = 0; index < text.size(); ++index) {
    const std::string_view entity = EntityOf(text[index]);
    if (entity.empty()) {
      continue;
    }
    out.append(text.substr(plainStart, index - plainStart));
    out.append(entity);
    plainStart = index + 1;
  }
  out.append(text.substr(plainStart));
}

}  // namespace xmldom
