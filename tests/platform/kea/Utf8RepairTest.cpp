#include "platform/kea/Utf8Repair.h"

#include <gtest/gtest.h>

namespace platform::kea {
namespace {

TEST(Utf8Repair, ByteWiseEscapedUtf8BecomesTheOriginalText) {
  // "Ü" (C3 9C) sent as \u00c3\u009c decodes to U+00C3 U+009C, i.e. C3 83 C2 9C.
  EXPECT_EQ(RepairByteEscapedUtf8("\xC3\x83\xC2\x9C"
                                  "n\xC3\x83\xC2\xAF"
                                  "code.."),
            "\xC3\x9Cn\xC3\xAF"
            "code..");
  // Three-byte characters (U+65E5) come as three escapes.
  EXPECT_EQ(RepairByteEscapedUtf8("\xC3\xA6\xC2\x97\xC2\xA5"), "\xE6\x97\xA5");
}

TEST(Utf8Repair, TextThatIsNotByteWiseUtf8StaysAsDecoded) {
  EXPECT_EQ(RepairByteEscapedUtf8("plain.example."), "plain.example.");
  EXPECT_EQ(RepairByteEscapedUtf8(""), "");
  // "café" with a real U+00E9: the byte E9 alone is not UTF-8.
  EXPECT_EQ(RepairByteEscapedUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
  // Code points above 255, as newer Kea sends them.
  EXPECT_EQ(RepairByteEscapedUtf8("\xE6\x97\xA5\xC3\xA9"), "\xE6\x97\xA5\xC3\xA9");
  // A byte-wise pair followed by a lone Latin-1 letter: not all of it is UTF-8.
  EXPECT_EQ(RepairByteEscapedUtf8("\xC3\x83\xC2\x9C\xC3\xA9"), "\xC3\x83\xC2\x9C\xC3\xA9");
  // Input that is not UTF-8 at all is left for the caller's converter.
  EXPECT_EQ(RepairByteEscapedUtf8("\xFF\xC3"), "\xFF\xC3");
}

}  // namespace
}  // namespace platform::kea
