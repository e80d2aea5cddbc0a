#pragma once

#include <string_view>

namespace lease {

// The one way the tool writes to standard output: the text and CR LF, byte for byte. A failing
// write is a failure of the run (EInOutError).
void WriteConsoleLine(std::string_view text);

// An error line: an empty line, then the text. A run that wrote one ends with exit status 2.
void WriteErrorLine(std::string_view text);

// How many error lines the run has written so far.
int ErrorLinesWritten();

// "Press any key to exit" after an empty line, then the wait for a key.
void WaitForKey();

}  // namespace lease
