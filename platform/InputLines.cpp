#include "platform/InputLines.h"

#include <algorithm>
#include <string_view>

namespace platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kReadSize = 4096;

// The answer is the line up to its first NUL byte.
std::string AnswerOf(std::string_view line) {
  return std::string(line.substr(0, line.find('\0')));
}

StandardInputLine TooLong() {
  StandardInputLine line;
  line.outcome = LineRead::Failed;
  line.status.ok = false;
  line.status.kind = runtime::IoErrorKind::LineTooLong;
  return line;
}

}  // namespace

StandardInputLine InputLineReader::Next(const ChunkReader& readChunk) {
  StandardInputLine line;
  for (;;) {
    if (!atStart_ && TakeLine(line)) {
      return line;
    }
    if (ended_) {
      return TakeRest();
    }
    if (pending_.size() > kLongestInputLine) {
      return TooLong();
    }
    char buffer[kReadSize];
    InputChunk chunk = readChunk(buffer, sizeof buffer);
    if (!chunk.status.ok) {
      line.outcome = LineRead::Failed;
      line.status = chunk.status;
      return line;
    }
    ended_ = chunk.count == 0;
    pending_.append(buffer, chunk.count);
    DropByteOrderMark();
  }
}

// Only once enough bytes are there to tell a mark from the start of an answer.
void InputLineReader::DropByteOrderMark() {
  if (!atStart_) {
    return;
  }
  std::size_t known = std::min(pending_.size(), kByteOrderMark.size());
  if (std::string_view(pending_).substr(0, known) != kByteOrderMark.substr(0, known)) {
    atStart_ = false;
  } else if (known == kByteOrderMark.size()) {
    pending_.erase(0, known);
    atStart_ = false;
  } else if (ended_) {
    atStart_ = false;
  }
}

bool InputLineReader::TakeLine(StandardInputLine& line) {
  if (dropLineFeed_ && !pending_.empty()) {
    if (pending_.front() == '\n') {
      pending_.erase(0, 1);
    }
    dropLineFeed_ = false;
  }
  std::size_t end = pending_.find_first_of("\r\n", scanned_);
  if (end == std::string::npos) {
    scanned_ = pending_.size();
    return false;
  }
  if (end > kLongestInputLine) {
    line = TooLong();
    return true;
  }
  line.outcome = LineRead::Line;
  line.text = AnswerOf(std::string_view(pending_).substr(0, end));
  dropLineFeed_ = pending_[end] == '\r';
  pending_.erase(0, end + 1);
  scanned_ = 0;
  return true;
}

StandardInputLine InputLineReader::TakeRest() {
  StandardInputLine line;
  if (pending_.size() > kLongestInputLine) {
    return TooLong();
  }
  line.outcome = pending_.empty() ? LineRead::EndOfInput : LineRead::Line;
  line.text = AnswerOf(pending_);
  pending_.clear();
  scanned_ = 0;
  return line;
}

StandardInputLine ReadLineFrom(const ChunkReader& readChunk) {
  static InputLineReader reader;
  return reader.Next(readChunk);
}

}  // namespace platform
