#include "platform/InputLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using platform::InputChunk;
using platform::InputLineReader;
using platform::LineRead;

// Standard input as the given reads (each split where the buffer is smaller), then its end;
// counts the reads asked for.
struct ScriptedInput {
  std::vector<std::string> reads;
  std::size_t next = 0;
  std::size_t offset = 0;
  std::size_t calls = 0;
  InputChunk operator()(char* buffer, std::size_t size) {
    ++calls;
    InputChunk chunk;
    if (next < reads.size()) {
      const std::string& read = reads[next];
      chunk.count = std::min(size, read.size() - offset);
      std::copy_n(read.data() + offset, chunk.count, buffer);
      offset += chunk.count;
      if (offset == read.size()) {
        ++next;
        offset = 0;
      }
    }
    return chunk;
  }
};

std::vector<std::string> AnswersOf(std::vector<std::string> reads) {
  ScriptedInput input{std::move(reads)};
  InputLineReader reader;
  std::vector<std::string> answers;
  for (;;) {
    platform::StandardInputLine line = reader.Next(std::ref(input));
    if (line.outcome != LineRead::Line) {
      return answers;
    }
    answers.push_back(line.text);
  }
}

TEST(InputLines, EndsAtAnyLineEndAndANulByteEndsTheAnswerItself) {
  EXPECT_EQ(AnswersOf({"a\nb\r\nc\rd"}), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(AnswersOf({"a\r", "\nb\r", "\r\n"}), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(AnswersOf({std::string("10.0.0.5\0x\n", 11), std::string("f\0", 2), "\nlast"}),
            (std::vector<std::string>{"10.0.0.5", "f", "last"}));
}

TEST(InputLines, SkipsAByteOrderMarkAtTheVeryStartOnly) {
  EXPECT_EQ(AnswersOf({"\xEF\xBB\xBF"
                       "10.0.0.5\n\xEF\xBB\xBFx\n"}),
            (std::vector<std::string>{"10.0.0.5", "\xEF\xBB\xBFx"}));
  EXPECT_EQ(AnswersOf({"\xEF", "\xBB", "\xBF", "a\n"}), std::vector<std::string>{"a"});
  EXPECT_EQ(AnswersOf({"\xEF\xBB", "a\n"}), std::vector<std::string>{"\xEF\xBB"
                                                                     "a"});
  EXPECT_EQ(AnswersOf({"\xEF\xBB"}), std::vector<std::string>{"\xEF\xBB"});
}

// An endless line, such as the null bytes of /dev/zero, is an input error after a bounded read.
TEST(InputLines, RefusesALineLongerThan64KiB) {
  EXPECT_EQ(AnswersOf({std::string(64 * 1024, 'x') + "\nb"}).front().size(), 64u * 1024);
  for (char filler : {'x', '\0'}) {
    ScriptedInput input{std::vector<std::string>(1000, std::string(4096, filler))};
    InputLineReader reader;
    platform::StandardInputLine line = reader.Next(std::ref(input));
    EXPECT_EQ(line.outcome, LineRead::Failed);
    EXPECT_EQ(line.status.kind, runtime::IoErrorKind::LineTooLong);
    EXPECT_LE(input.calls, 17u);
  }
}

}  // namespace
