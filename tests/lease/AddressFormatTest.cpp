#include "lease/AddressFormat.h"

#include <gtest/gtest.h>

namespace {

using lease::FormatHardwareAddress;
using lease::FormatIpAddress;

TEST(FormatIpAddress, WritesTheMostSignificantByteFirstWithoutLeadingZeros) {
  EXPECT_EQ(FormatIpAddress(0xC0A80001), "192.168.0.1");
  EXPECT_EQ(FormatIpAddress(0x0A010200), "10.1.2.0");
  EXPECT_EQ(FormatIpAddress(0), "0.0.0.0");
  EXPECT_EQ(FormatIpAddress(0xFFFFFFFF), "255.255.255.255");
  EXPECT_EQ(FormatIpAddress(0x64090A63), "100.9.10.99");
}

TEST(FormatHardwareAddress, JoinsUpperCasePairsWithHyphens) {
  const std::uint8_t bytes[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(FormatHardwareAddress(6, bytes), "00-1A-2B-3C-4D-5E");
  const std::uint8_t one[] = {0xFF};
  EXPECT_EQ(FormatHardwareAddress(1, one), "FF");
  EXPECT_EQ(FormatHardwareAddress(0, nullptr), "");
}

TEST(FormatHardwareAddress, KeepsEveryByteOfALongAddress) {
  std::uint8_t bytes[16];
  for (int i = 0; i < 16; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 17);
  }
  EXPECT_EQ(FormatHardwareAddress(16, bytes), "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF");
}

}  // namespace
