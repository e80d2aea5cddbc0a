#include "platform/sources/Utf8Text.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::sources {
namespace {

struct Row {
  std::string text;
  std::string valid;  // what ValidUtf8 makes of it; the text itself when it is valid
};

const Row kRows[] = {
    {"", ""},
    {"plain.example.", "plain.example."},
    {"\xC3\x9C"
     "ber-\xE6\x97\xA5-\xF0\x9F\x98\x80-\xF4\x8F\xBF\xBF",
     "\xC3\x9C"
     "ber-\xE6\x97\xA5-\xF0\x9F\x98\x80-\xF4\x8F\xBF\xBF"},
    // Latin-1, as an octal escape of dhcpd's writes it: one byte, one '?'.
    {"caf\xE9", "caf?"},
    {"caf\xE9.example", "caf?.example"},
    // Cut sequences: each byte stands alone.
    {"\xE6\x97", "??"},
    {"x\xF0\x9F\x98", "x???"},
    {"\xC3", "?"},
    // Overlong forms, surrogates, beyond U+10FFFF, lone continuation bytes, bytes never used.
    {"\xC0\xAF\xE0\x80\xAF", "?????"},
    {"\xED\xA0\x80", "???"},
    {"\xF4\x90\x80\x80", "????"},
    {"\x80\xBF", "??"},
    {"\xFE\xFF", "??"},
    // A valid sequence right after a bad byte is kept.
    {"\xE6\xC3\x9C", "?\xC3\x9C"},
};

TEST(Utf8Text, BytesThatAreNotUtf8BecomeOneQuestionMarkEach) {
  for (const Row& row : kRows) {
    EXPECT_EQ(ValidUtf8(row.text), row.valid) << row.text;
    EXPECT_EQ(IsValidUtf8(row.text), row.text == row.valid) << row.text;
  }
}

}  // namespace
}  // namespace platform::sources
