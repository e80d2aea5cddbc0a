#include "platform/sources/DhcpBlocks.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform::sources {
namespace {

// Frees as the lease query does, every block on its own, with what DhcpRpcFreeMemory calls.
void FreeClientArray(DHCP_CLIENT_INFO_ARRAY* array) {
  for (std::uint32_t i = 0; i < array->NumElements; ++i) {
    FreeDhcpBlock(array->Clients[i]->ClientHardwareAddress.Data);
    FreeDhcpBlock(array->Clients[i]->ClientName);
    FreeDhcpBlock(array->Clients[i]);
  }
  FreeDhcpBlock(array->Clients);
  FreeDhcpBlock(array);
}

std::uint64_t TicksOf(DATE_TIME time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST(DhcpBlocks, IpArrayHoldsTheAddressesInOrder) {
  std::vector<DHCP_IP_ADDRESS> addresses = {0x0A010200, 0xC0A80100};
  DHCP_IP_ARRAY* array = NewIpArray(addresses);
  ASSERT_EQ(array->NumElements, 2u);
  EXPECT_EQ(array->Elements[0], 0x0A010200u);
  EXPECT_EQ(array->Elements[1], 0xC0A80100u);
  FreeDhcpBlock(array->Elements);
  FreeDhcpBlock(array);
}

TEST(DhcpBlocks, ClientRecordPerLease) {
  std::vector<SourceLease> leases(4);
  leases[0].address = 0x0A010214;
  leases[0].hardwareAddress = std::vector<std::uint8_t>(16, 0xAB);
  leases[0].hostName =
      "\xC3\x9C"
      "ber.example.";
  leases[0].expires = 4000000000;
  leases[1].address = 0x0A010215;  // no name, no hardware address
  leases[2].address = 0x0A010216;
  leases[2].hostName = "\xF0\x9F\x98\x80";  // outside the basic plane: a surrogate pair
  leases[3].address = 0x0A010217;
  leases[3].hostName = "pc\xE9-\xC3\x9C\xED\xA0\x80\xF0\x9F";  // bad bytes among good ones

  DHCP_CLIENT_INFO_ARRAY* array = NewClientArray(leases, 0xFFFFFE00);
  ASSERT_EQ(array->NumElements, 4u);
  const DHCP_CLIENT_INFO& first = *array->Clients[0];
  EXPECT_EQ(first.ClientIpAddress, 0x0A010214u);
  EXPECT_EQ(first.SubnetMask, 0xFFFFFE00u);
  ASSERT_EQ(first.ClientHardwareAddress.DataLength, 16u);
  EXPECT_EQ(first.ClientHardwareAddress.Data[15], 0xAB);
  EXPECT_EQ(std::u16string(first.ClientName), u"\u00DCber.example.");
  EXPECT_EQ(first.ClientComment, nullptr);
  EXPECT_EQ(TicksOf(first.ClientLeaseExpires), (4000000000ull + 11644473600ull) * 10000000ull);

  const DHCP_CLIENT_INFO& second = *array->Clients[1];
  EXPECT_EQ(second.ClientName, nullptr);
  EXPECT_EQ(second.ClientHardwareAddress.DataLength, 0u);
  EXPECT_EQ(second.ClientHardwareAddress.Data, nullptr);
  EXPECT_EQ(std::u16string(array->Clients[2]->ClientName), u"\U0001F600");
  // Each byte that is not UTF-8 is a '?' of its own, never a character it does not stand for.
  EXPECT_EQ(std::u16string(array->Clients[3]->ClientName), u"pc?-\u00DC?????");
  EXPECT_EQ(TicksOf(array->Clients[3]->ClientLeaseExpires), 0x7FFFFFFFFFFFFFFFull);
  FreeClientArray(array);
}

TEST(DhcpBlocks, EmptySubnetIsAnArrayWithoutElements) {
  DHCP_CLIENT_INFO_ARRAY* array = NewClientArray({}, 0xFFFFFF00);
  EXPECT_EQ(array->NumElements, 0u);
  EXPECT_EQ(array->Clients, nullptr);
  FreeClientArray(array);
}

}  // namespace
}  // namespace platform::sources
