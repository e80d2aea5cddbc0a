#include "platform/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::string>;
using platform::SplitCommandLine;

TEST(SplitCommandLine, SeparatesAtEveryByteFromOneTo32) {
  EXPECT_EQ(SplitCommandLine("prog /text"), (Arguments{"prog", "/text"}));
  EXPECT_EQ(SplitCommandLine("  prog\t/text\x01x\x1f\r\ny  "),
            (Arguments{"prog", "/text", "x", "y"}));
  EXPECT_EQ(SplitCommandLine("prog \xa0x\x7f"), (Arguments{"prog", "\xa0x\x7f"}));
}

TEST(SplitCommandLine, QuotesKeepSeparatorsAndAreDropped) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\leasedump.exe\" /text"),
            (Arguments{"C:\\Program Files\\leasedump.exe", "/text"}));
  EXPECT_EQ(SplitCommandLine("prog \"/te\"xt a\" \"b"), (Arguments{"prog", "/text", "a b"}));
  EXPECT_EQ(SplitCommandLine("prog \"open to the end"), (Arguments{"prog", "open to the end"}));
}

TEST(SplitCommandLine, EmptyQuotedArgumentsDoNotCount) {
  EXPECT_EQ(SplitCommandLine("prog \"\" /text \"\""), (Arguments{"prog", "/text"}));
  EXPECT_EQ(SplitCommandLine("prog \"\"\"\"x"), (Arguments{"prog", "x"}));
  EXPECT_EQ(SplitCommandLine("prog \"\"\""), (Arguments{"prog"}));
  EXPECT_EQ(SplitCommandLine("prog \" \""), (Arguments{"prog", " "}));
}

TEST(SplitCommandLine, EndsAtTheEndOfTheLineOrAZeroByte) {
  EXPECT_EQ(SplitCommandLine(""), Arguments{});
  EXPECT_EQ(SplitCommandLine(std::string_view("prog a\0b", 8)), (Arguments{"prog", "a"}));
}

}  // namespace
