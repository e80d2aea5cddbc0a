#include "dialogue/Answer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dialogue::TrimmedOrDefault;

TEST(Answer, TrimsControlBytesAndSpacesAtBothEndsOnly) {
  EXPECT_EQ(TrimmedOrDefault("  10.0.0.5  ", "x"), "10.0.0.5");
  EXPECT_EQ(TrimmedOrDefault("\t\x01 a b\r\x1f", "x"), "a b");
  EXPECT_EQ(TrimmedOrDefault(std::string("\0host\0", 6), "x"), "host");
}

TEST(Answer, KeepsBytesFromDel128Upward) {
  EXPECT_EQ(TrimmedOrDefault("\x7f"
                             "h\xc3\xa9"
                             "\xa0",
                             "x"),
            "\x7f"
            "h\xc3\xa9"
            "\xa0");
}

TEST(Answer, TakesTheDefaultWhenNothingIsLeft) {
  EXPECT_EQ(TrimmedOrDefault("", "127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(TrimmedOrDefault(" \t \t ", "127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(TrimmedOrDefault("\r", "DHCP.xml"), "DHCP.xml");
}

}  // namespace
