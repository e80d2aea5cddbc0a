#include "xmldom/EscapeXmlText.h"

#include <array>

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

// By byte value, how many bytes longer its entity is than the byte itself (0: written as it is).
// Texts are short and many, so one look-up in a small table per byte, no set-up per text.
constexpr std::array<unsigned char, 256> kExtraLength = [] {
  std::array<unsigned char, 256> extra{};
  for (int byte = 0; byte < 256; ++byte) {
    const std::size_t length = EntityOf(static_cast<char>(byte)).size();
    extra[static_cast<std::size_t>(byte)] =
        static_cast<unsigned char>(length == 0 ? 0 : length - 1);
  }
  return extra;
}();

std::size_t ExtraLengthOf(char character) {
  return kExtraLength[static_cast<unsigned char>(character)];
}

}  // namespace

std::string EscapeXmlText(std::string_view text) {
  std::string escaped;
  escaped.reserve(EscapedXmlTextLength(text));
  AppendEscapedXmlText(escaped, text);
  return escaped;
}

// One pass gives what replacing each of the five characters in turn would: the ampersand is the
// only character that the entities themselves contain, and it is never escaped twice here.
void AppendEscapedXmlText(std::string& out, std::string_view text) {
  std::size_t plainStart = 0;
  for (std::size_t index = 0; index < text.size(); ++index) {
    if (ExtraLengthOf(text[index]) == 0) {
      continue;
    }
    const std::string_view entity = EntityOf(text[index]);
    out.append(text.substr(plainStart, index - plainStart));
    out.append(entity);
    plainStart = index + 1;
  }
  out.append(text.substr(plainStart));
}

std::size_t EscapedXmlTextLength(std::string_view text) {
  std::size_t length = text.size();
  for (const char character : text) {
    length += ExtraLengthOf(character);
  }
  return length;
}

}  // namespace xmldom
