// The answers read from standard input. The first byte of the input sets the size of every read
// (1 to 256 bytes), the rest is the input itself: whatever the reads, the answers are those of the
// whole input split in one pass, so that no line end, byte-order mark or NUL is treated
// differently when it falls across two reads.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "platform/InputLines.h"

namespace {

std::string AnswerOf(std::string_view line) {
  return std::string(line.substr(0, line.find('\0')));
}

std::vector<std::string> SplitAtOnce(std::string_view input) {
  if (input.starts_with("\xEF\xBB\xBF")) {
    input.remove_prefix(3);
  }
  std::vector<std::string> answers;
  std::size_t start = 0;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] == '\n' || input[i] == '\r') {
      answers.push_back(AnswerOf(input.substr(start, i - start)));
      if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') {
        ++i;
      }
      start = i + 1;
    }
  }
  if (start < input.size()) {
    answers.push_back(AnswerOf(input.substr(start)));
  }
  return answers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t readSize = std::size_t{data[0]} + 1;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::size_t offset = 0;
  auto readChunk = [&](char* buffer, std::size_t room) {
    platform::InputChunk chunk;
    chunk.count = std::min({readSize, room, input.size() - offset});
    std::memcpy(buffer, input.data() + offset, chunk.count);
    offset += chunk.count;
    return chunk;
  };
  platform::InputLineReader reader;
  std::vector<std::string> answers;
  for (;;) {
    platform::StandardInputLine line = reader.Next(readChunk);
    FUZZ_CHECK(line.outcome != platform::LineRead::Failed);
    if (line.outcome == platform::LineRead::EndOfInput) {
      break;
    }
    FUZZ_CHECK(line.text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    answers.push_back(std::move(line.text));
  }
  FUZZ_CHECK(answers == SplitAtOnce(input));
  return 0;
}
