#include "platform/sources/Ipv4Text.h"

#include <gtest/gtest.h>

namespace platform::sources {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Ipv4Text, AddressIsHostOrderFirstNumberHighest) {
  EXPECT_EQ(ParseIpv4Address("192.168.0.1"), 0xC0A80001u);
  EXPECT_EQ(ParseIpv4Address("0.0.0.0"), 0u);
  EXPECT_EQ(ParseIpv4Address("255.255.255.255"), 0xFFFFFFFFu);
}

TEST(Ipv4Text, AnythingButFourNumbersIsNoAddress) {
  for (const char* text : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                           "1.2.3.", "0001.2.3.4", "a.b.c.d", "1.2.3.-4", "::1"}) {
    EXPECT_EQ(ParseIpv4Address(text), std::nullopt) << text;
  }
}

TEST(Ipv4Text, PrefixAndItsMask) {
  std::optional<Ipv4Prefix> prefix = ParseIpv4Prefix("10.1.2.0/23");
  ASSERT_TRUE(prefix);
  EXPECT_EQ(prefix->address, 0x0A010200u);
  EXPECT_EQ(prefix->length, 23);
  EXPECT_EQ(MaskOfPrefixLength(23), 0xFFFFFE00u);
  EXPECT_EQ(MaskOfPrefixLength(0), 0u);
  EXPECT_EQ(MaskOfPrefixLength(32), 0xFFFFFFFFu);
  EXPECT_EQ(MaskOfPrefixLength(1), 0x80000000u);
  Ipv4Prefix network = NetworkOf(*ParseIpv4Prefix("10.1.3.100/23"));
  EXPECT_EQ(network.address, 0x0A010200u);
  EXPECT_EQ(network.length, 23);
  EXPECT_EQ(NetworkOf(*ParseIpv4Prefix("255.255.255.255/0")).address, 0u);
  for (const char* text : {"10.1.2.0", "10.1.2.0/", "10.1.2.0/33", "10.1.2.0/024", "/24",
                           "10.1.2.0/24/1", "10.1.2/24"}) {
    EXPECT_EQ(ParseIpv4Prefix(text), std::nullopt) << text;
  }
}

TEST(Ipv4Text, NetmaskIsAPrefixLengthOnlyWhenItsOnesRunTogether) {
  for (std::uint8_t length = 0; length <= 32; ++length) {
    EXPECT_EQ(PrefixLengthOfNetmask(MaskOfPrefixLength(length)), length);
  }
  for (std::uint32_t mask : {0x00FFFFFFu, 0xFF00FF00u, 0xFFFFFFFEu ^ 0x100u, 0x00000001u}) {
    EXPECT_EQ(PrefixLengthOfNetmask(mask), std::nullopt) << mask;
  }
}

TEST(Ipv4Text, HardwareAddressBytes) {
  EXPECT_EQ(ParseHardwareAddress("00:1a:2B:3c:4d:5e"), (Bytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
  EXPECT_EQ(ParseHardwareAddress(""), Bytes{});
  EXPECT_EQ(ParseHardwareAddress("f"), Bytes{0x0F});
  EXPECT_EQ(ParseHardwareAddress("1:2"), (Bytes{1, 2}));
  for (const char* text : {":", "00:", ":00", "00::11", "001:22", "0g", "00-11", "00:11 "}) {
    EXPECT_EQ(ParseHardwareAddress(text), std::nullopt) << text;
  }
  // Into a buffer of its own: the same bytes, and an address that does not fit is none.
  std::uint8_t room[3] = {};
  EXPECT_EQ(ParseHardwareAddress("0a:0b:0c", room), 3u);
  EXPECT_EQ(Bytes(room, room + 3), (Bytes{0x0A, 0x0B, 0x0C}));
  EXPECT_EQ(ParseHardwareAddress("", room), 0u);
  EXPECT_EQ(ParseHardwareAddress("1:2:3:4", room), std::nullopt);
  EXPECT_EQ(ParseHardwareAddress("00::11", room), std::nullopt);
}

}  // namespace
}  // namespace platform::sources
