#include "platform/InputLines.h"

#include <string>

namespace platform {
namespace {

// Bytes read from standard input but not yet handed out.
std::string& PendingInput() {
  static std::string pending;
  return pending;
}

StandardInputLine NextLine(std::string& pending,
                           const std::function<InputChunk(char*, std::size_t)>& readChunk) {
  StandardInputLine line;
  for (;;) {
    std::size_t end = pending.find('\n');
    if (end != std::string::npos) {
      line.outcome = LineRead::Line;
      line.text = pending.substr(0, end);
      pending.erase(0, end + 1);
      return line;
    }
    char buffer[4096];
    InputChunk chunk = readChunk(buffer, sizeof buffer);
    if (!chunk.status.ok) {
      line.outcome = LineRead::Failed;
      line.status = chunk.status;
      return line;
    }
    if (chunk.count == 0) {
      line.outcome = pending.empty() ? LineRead::EndOfInput : LineRead::Line;
      line.text = std::move(pending);
      pending.clear();
      return line;
    }
    pending.append(buffer, chunk.count);
  }
}

}  // namespace

StandardInputLine ReadLineFrom(const std::function<InputChunk(char*, std::size_t)>& readChunk) {
  StandardInputLine line = NextLine(PendingInput(), readChunk);
  if (!line.text.empty() && line.text.back() == '\r') {
    line.text.pop_back();
  }
  return line;
}

}  // namespace platform
