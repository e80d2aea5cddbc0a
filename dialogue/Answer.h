#pragma once

#include <string>
#include <string_view>

namespace dialogue {

// Reads one answer line from standard input and gives it trimmed, or the default when nothing is
// left. An input that has ended is an empty answer; any other read error ends the run
// (EInOutError).
std::string ReadAnswer(std::string_view defaultValue);

// The answer without the bytes 0 to 32 at either end (bytes from 128 up stay), or the default
// when nothing is left.
std::string TrimmedOrDefault(std::string_view answer, std::string_view defaultValue);

}  // namespace dialogue
