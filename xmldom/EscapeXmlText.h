#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xmldom {

// The text with &, <, >, the double quote and the apostrophe written as entities. Everything else,
// control characters and bytes above 127 included, passes unchanged.
std::string EscapeXmlText(std::string_view text);

// Appends what EscapeXmlText gives.
void AppendEscapedXmlText(std::string& out, std::string_view text);

// The length of what EscapeXmlText gives, without making it.
std::size_t EscapedXmlTextLength(std::string_view text);

}  // namespace xmldom
