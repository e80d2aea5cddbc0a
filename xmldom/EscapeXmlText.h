#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xmldom {

// Whether narrow text is UTF-8 (Linux) rather than an ANSI code page (Windows): only then do the
// bytes EF BF BE and EF BF BF name the two noncharacters that XML cannot carry. The build says.
#if defined(XMLDOM_NARROW_TEXT_IS_UTF8) && XMLDOM_NARROW_TEXT_IS_UTF8
inline constexpr bool kNarrowTextIsUtf8 = true;
#else
inline constexpr bool kNarrowTextIsUtf8 = false;
#endif

// The text with &, <, >, the double quote and the apostrophe written as entities, and every
// character that XML 1.0 cannot carry in a document written as "?": the control bytes other than
// TAB, LF and CR, and, in UTF-8 text, U+FFFE and U+FFFF. A client chooses its own host name, and
// one such byte would make the whole document unreadable. Everything else, bytes above 127
// included, passes unchanged.
std::string EscapeXmlText(std::string_view text);

// Appends what EscapeXmlText gives.
void AppendEscapedXmlText(std::string& out, std::string_view text);

// What EscapeXmlText gives, measured without making it.
struct TEscapedMeasure {
  std::size_t Length = 0;
  // The text is written exactly as it is.
  bool Unchanged = true;
};
TEscapedMeasure MeasureEscapedXmlText(std::string_view text);

// The length of what EscapeXmlText gives, without making it.
inline std::size_t EscapedXmlTextLength(std::string_view text) {
  return MeasureEscapedXmlText(text).Length;
}

}  // namespace xmldom
