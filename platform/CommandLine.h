#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a whole Windows command line (the program's own name first) into its arguments by the
// rules of the home platform's runtime: bytes 1 to 32 separate; a double quote opens a stretch,
// closed by the next one or the end, inside which they do not; the quotes are dropped; a pair of
// quotes at the start of an argument is skipped, so an empty quoted argument does not count.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace platform
