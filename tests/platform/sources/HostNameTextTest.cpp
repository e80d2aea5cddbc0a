#include "platform/sources/Utf8Text.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::sources {
namespace {

struct Row {
  std::string bytes;
  std::string text;
};

class HostNameTable : public testing::TestWithParam<Row> {};

TEST_P(HostNameTable, IsUtf8) {
  EXPECT_EQ(HostNameText(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, HostNameTable,
    testing::Values(Row{"ws1.example.org.", "ws1.example.org."},
                    Row{"\xC3\x9C"
                        "ber \xE2\x82\xAC \xF0\x9F\x98\x80",
                        "\xC3\x9C"
                        "ber \xE2\x82\xAC \xF0\x9F\x98\x80"},
                    Row{std::string("pc\0rest", 7), "pc"}, Row{std::string("\0", 1), ""},
                    // A lone lead byte, a stray continuation, bytes no UTF-8 text holds.
                    Row{"a\xC3"
                        "b\x80"
                        "c\xFF\xFE",
                        "a?b?c??"},
                    // A sequence cut short: each of its bytes is one '?'.
                    Row{"\xE2\x82", "??"}, Row{"\xF0\x9F\x98", "???"},
                    // Overlong forms, surrogates and code points past U+10FFFF.
                    Row{"\xC0\xAF\xC1\xBF", "????"}, Row{"\xE0\x80\xAF", "???"},
                    Row{"\xED\xA0\x80", "???"}, Row{"\xF4\x90\x80\x80\xF5\x80", "??????"},
                    // The largest of each length stays.
                    Row{"\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
                        "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"}));

}  // namespace
}  // namespace platform::sources
