#include "lease/ConsoleLine.h"

#include <string>

#include "platform/Console.h"
#include "platform/ConsoleFailure.h"

namespace lease {

void WriteConsoleLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append("\r\n");
  platform::RaiseOnConsoleFailure(platform::WriteStandardOutput(line));
}

namespace {
int g_errorLines = 0;
}  // namespace

void WriteErrorLine(std::string_view text) {
  std::string line = "\r\n";
  line.append(text);
  WriteConsoleLine(line);
  ++g_errorLines;
}

int ErrorLinesWritten() {
  return g_errorLines;
}

void WaitForKey() {
  WriteConsoleLine("");
  WriteConsoleLine("Press any key to exit");
  platform::WaitForConsoleKey();
}

}  // namespace lease
