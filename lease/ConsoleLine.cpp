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

void WriteErrorLine(std::string_view text) {
  std::string line = "\r\n";
  line.append(text);
  WriteConsoleLine(line);
}

}  // namespace lease
