#pragma once

#include <string_view>

namespace lease {

// The one way the tool writes to standard output: the text and CR LF, byte for byte. A failing
// write is a failure of the run (EInOutError).
void WriteConsoleLine(std::string_view text);

// An error line: an empty line, then the text.
void WriteErrorLine(std::string_view text);

}  // namespace lease
