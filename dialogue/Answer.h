#pragma once

#include <string>
#include <string_view>

namespace dialogue {

// The answer without the bytes 0 to 32 at either end (bytes from 128 up stay), or the default
// when nothing is left.
std::string TrimmedOrDefault(std::string_view answer, std::string_view defaultValue);

}  // namespace dialogue
