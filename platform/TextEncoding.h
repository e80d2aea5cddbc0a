#pragma once

#include <string>
#include <string_view>

namespace platform {

// Between the narrow encoding of the process (UTF-8 on Linux, the thread's ANSI code page on
// Windows) and UTF-16. What cannot be converted becomes the replacement character.
std::u16string WideFromNarrow(std::string_view narrow);
std::string NarrowFromWide(std::u16string_view wide);

}  // namespace platform
