#include "xmldom/EscapeXmlText.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace xmldom {

namespace {

// U+FFFE and U+FFFF in UTF-8: EF BF BE and EF BF BF.
constexpr unsigned char kNoncharacterLead = 0xEF;
constexpr std::size_t kNoncharacterLength = 3;

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

constexpr bool IsForbiddenControl(unsigned char byte) {
  return byte >= 0x01 && byte <= 0x1F && byte != '\t' && byte != '\n' && byte != '\r';
}

// By byte value: whether the byte may start something that is not written as it is. Texts are
// short and many, so one look-up in a small table per byte, no set-up per text.
constexpr std::array<bool, 256> kMayChange = [] {
  std::array<bool, 256> mayChange{};
  for (int byte = 0; byte < 256; ++byte) {
    const auto value = static_cast<unsigned char>(byte);
    mayChange[value] = !EntityOf(static_cast<char>(byte)).empty() || IsForbiddenControl(value) ||
                       (kNarrowTextIsUtf8 && value == kNoncharacterLead);
  }
  return mayChange;
}();

// Whether any of the eight bytes may change, tested all at once: most texts have no such byte,
// and the many short ones are then passed in a few steps instead of byte by byte.
bool AnyMayChange(std::uint64_t bytes) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  // A byte below n (n at most 128) leaves its high bit set in (bytes - n) & ~bytes.
  const auto anyBelow = [&](std::uint64_t n) { return ((bytes - kOnes * n) & ~bytes & kHighBits); };
  const auto anyEqual = [&](unsigned char value) {
    const std::uint64_t zeroWhereEqual = bytes ^ (kOnes * value);
    return (zeroWhereEqual - kOnes) & ~zeroWhereEqual & kHighBits;
  };
  return (anyBelow(0x20) | anyEqual('&') | anyEqual('<') | anyEqual('>') | anyEqual('"') |
          anyEqual('\'') | (kNarrowTextIsUtf8 ? anyEqual(kNoncharacterLead) : 0)) != 0;
}

// Whether the eight bytes from the index are all written as they are.
bool EightPlainAt(std::string_view text, std::size_t index) {
  if (index + 8 > text.size()) {
    return false;
  }
  std::uint64_t bytes = 0;
  std::memcpy(&bytes, text.data() + index, sizeof bytes);
  return !AnyMayChange(bytes);
}

bool IsNoncharacterAt(std::string_view text, std::size_t index) {
  return kNarrowTextIsUtf8 && index + kNoncharacterLength <= text.size() &&
         static_cast<unsigned char>(text[index]) == kNoncharacterLead &&
         static_cast<unsigned char>(text[index + 1]) == 0xBF &&
         (static_cast<unsigned char>(text[index + 2]) & 0xFE) == 0xBE;
}

// What replaces the bytes at the index and how many of them it replaces; nothing and 1 for a
// byte written as it is.
struct TReplacement {
  std::string_view Text;
  std::size_t Length = 1;
};

TReplacement ReplacementAt(std::string_view text, std::size_t index) {
  const char character = text[index];
  if (IsForbiddenControl(static_cast<unsigned char>(character))) {
    return {"?", 1};
  }
  if (IsNoncharacterAt(text, index)) {
    return {"?", kNoncharacterLength};
  }
  return {EntityOf(character), 1};
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
  std::size_t index = 0;
  while (index < text.size()) {
    if (EightPlainAt(text, index)) {
      index += 8;
      continue;
    }
    if (!kMayChange[static_cast<unsigned char>(text[index])]) {
      ++index;
      continue;
    }
    const TReplacement replacement = ReplacementAt(text, index);
    if (replacement.Text.empty()) {
      ++index;
      continue;
    }
    out.append(text.substr(plainStart, index - plainStart));
    out.append(replacement.Text);
    index += replacement.Length;
    plainStart = index;
  }
  out.append(text.substr(plainStart));
}

TEscapedMeasure MeasureEscapedXmlText(std::string_view text) {
  TEscapedMeasure measure{text.size(), true};
  std::size_t index = 0;
  while (index < text.size()) {
    if (EightPlainAt(text, index)) {
      index += 8;
      continue;
    }
    if (!kMayChange[static_cast<unsigned char>(text[index])]) {
      ++index;
      continue;
    }
    const TReplacement replacement = ReplacementAt(text, index);
    if (!replacement.Text.empty()) {
      measure.Length = measure.Length - replacement.Length + replacement.Text.size();
      measure.Unchanged = false;
    }
    index += replacement.Length;
  }
  return measure;
}

}  // namespace xmldom
