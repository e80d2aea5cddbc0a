#include "lease/ConsoleLine.h"

#include "platform/Console.h"
#include "runtime/Exception.h"

namespace lease {
namespace {

void RaiseOnFailure(const platform::IoStatus& status) {
  if (!status.ok) {
    throw runtime::EInOutError(status.kind, status.errorNumber);
  }
}

}  // namespace

void WriteConsoleLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append("\r\n");
  RaiseOnFailure(platform::WriteStandardOutput(line));
}

std::string ReadConsoleAnswer() {
  platform::StandardInputLine answer = platform::ReadStandardInputLine();
  if (answer.outcome == platform::LineRead::Failed) {
    RaiseOnFailure(answer.status);
  }
  return std::move(answer.text);
}

void WaitForKey() {
  WriteConsoleLine("");
  WriteConsoleLine("Press any key to exit");
  platform::WaitForConsoleKey();
}

}  // namespace lease
