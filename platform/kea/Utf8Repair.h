#pragma once

#include <string>
#include <string_view>

namespace platform::kea {

// Kea 2.2 escapes every byte of a non-ASCII UTF-8 string on its own ("\u00c3\u009c" for "Ü"),
// so the decoded text holds one code point per original byte. When every code point of the
// decoded UTF-8 text is below 256 and those values, taken as bytes, are valid UTF-8, those
// bytes are the original text and are returned; otherwise (a genuine Latin-1 text, code points
// above 255 as newer Kea sends them, input that is not UTF-8) the text is returned unchanged.
std::string RepairByteEscapedUtf8(std::string_view decoded);

}  // namespace platform::kea
