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
// and the many short ones are then passed in a few steps instead of byte by byte. Ranges are
// tested rather than single values, which is fewer steps and may name a byte that does not change
// (any byte above 127, '#', '$', '%', '='): the byte-by-byte look that follows then decides.
bool AnyMayChange(std::uint64_t bytes) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7Fu;
  // Below 0x20: the high bit of a byte below n stays set in (bytes - n) & ~bytes.
  const std::uint64_t below = (bytes - kOnes * 0x20) & ~bytes;
  // Strictly between low and high, for bytes below 128.
  const std::uint64_t seven = bytes & kLowBits;
  const auto between = [&](std::uint64_t low, std::uint64_t high) {
    return (kOnes * (127 + high) - seven) & (seven + kOnes * (127 - low));
  };
  // '"' to '\'', and '<' to '>'.
  return ((bytes | below | between(0x21, 0x28) | between(0x3B, 0x3F)) & kHighBits) != 0;
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

// Whether every byte is written as it is, for a text of eight bytes or more: eight at a time, the
// last eight overlapping those before, with no byte left to look at one by one.
bool IsPlainByEights(std::string_view text) {
  std::size_t index = 0;
  for (; index + 8 <= text.size(); index += 8) {
    if (!EightPlainAt(text, index)) {
      return false;
    }
  }
  return index == text.size() || EightPlainAt(text, text.size() - 8);
}

// Calls onReplacement(index, replacement) for every stretch of the text that is not written as it
// is, from the first to the last; plain stretches are skipped eight bytes at a time.
template <typename OnReplacement>
void ForEachReplacement(std::string_view text, OnReplacement&& onReplacement) {
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
      onReplacement(index, replacement);
    }
    index += replacement.Length;
  }
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
  ForEachReplacement(text, [&](std::size_t index, const TReplacement& replacement) {
    out.append(text.substr(plainStart, index - plainStart));
    out.append(replacement.Text);
    plainStart = index + replacement.Length;
  });
  out.append(text.substr(plainStart));
}

TEscapedMeasure MeasureEscapedXmlText(std::string_view text) {
  TEscapedMeasure measure{text.size(), true};
  if (text.size() >= 8 && IsPlainByEights(text)) {
    return measure;
  }
  ForEachReplacement(text, [&](std::size_t, const TReplacement& replacement) {
    measure.Length = measure.Length - replacement.Length + replacement.Text.size();
    measure.Unchanged = false;
  });
  return measure;
}

}  // namespace xmldom
