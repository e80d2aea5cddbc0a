#include "lease/StatusLines.h"

#include <string>

#include "lease/ConsoleLine.h"
#include "lease/SystemErrorText.h"

namespace lease {

void StatusLines::Write(std::uint32_t status) {
  std::string text = SystemErrorText(status);
  if (text.empty()) {
    text = std::to_string(status);
  }
  WriteErrorLine("Error: " + text);
  written_ = true;
}

}  // namespace lease
