#pragma once

#include <string>
#include <string_view>

#include "runtime/Exception.h"

namespace platform {

// The outcome of a console read or write; `ok` false carries what the failure report needs.
struct IoStatus {
  bool ok = true;
  runtime::IoErrorKind kind = runtime::IoErrorKind::Other;
  int errorNumber = 0;
};

// Every byte reaches the stream unchanged and unbuffered, so nothing is left to flush.
IoStatus WriteStandardOutput(std::string_view bytes);
IoStatus WriteStandardError(std::string_view bytes);

enum class LineRead { Line, EndOfInput, Failed };

struct StandardInputLine {
  LineRead outcome = LineRead::EndOfInput;
  std::string text;  // without its line end
  IoStatus status;
};

StandardInputLine ReadStandardInputLine();

// Returns on the first key event of an interactive console, and at once when standard input is
// not one (a pipe, a file, closed), so that a script never hangs here.
void WaitForConsoleKey();

// The report of an escaping failure in the console's code page.
std::string ToConsoleCodePage(std::string_view text);

}  // namespace platform
