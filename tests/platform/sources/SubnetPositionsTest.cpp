#include "platform/sources/SubnetPositions.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace platform::sources {
namespace {

struct Row {
  const char* name;
  std::vector<const char*> subnets;  // in the server's order
  // Per position in the order of Addresses(): its address, then its ranges as "first-last".
  std::vector<std::vector<std::string>> positions;
  // (address, the mask of the subnet that holds it at its position)
  std::vector<std::pair<const char*, const char*>> masks = {};
};

const Row kRows[] = {
    {"subnets apart keep the server's order",
     {"10.2.0.0/16", "10.1.0.0/24", "192.168.0.0/23"},
     {{"10.2.0.0", "10.2.0.0-10.2.255.255"},
      {"10.1.0.0", "10.1.0.0-10.1.0.255"},
      {"192.168.0.0", "192.168.0.0-192.168.1.255"}},
     {{"192.168.1.7", "255.255.254.0"}}},
    {"subnets at one address are one position, over the widest, each lease with its longest",
     {"10.1.0.0/24", "10.5.0.0/24", "10.1.0.0/16", "10.1.0.0/24"},
     {{"10.1.0.0", "10.1.0.0-10.1.255.255"}, {"10.5.0.0", "10.5.0.0-10.5.0.255"}},
     {{"10.1.0.9", "255.255.255.0"}, {"10.1.1.9", "255.255.0.0"}}},
    {"a subnet inside another at another address is its own position, and a hole in the other's",
     {"10.0.0.0/8", "10.1.2.0/24", "10.200.0.0/16"},
     {{"10.0.0.0", "10.0.0.0-10.1.1.255", "10.1.3.0-10.199.255.255", "10.201.0.0-10.255.255.255"},
      {"10.1.2.0", "10.1.2.0-10.1.2.255"},
      {"10.200.0.0", "10.200.0.0-10.200.255.255"}}},
    {"a subnet inside one inside another is a hole of the nearer one only",
     {"10.1.0.0/16", "10.1.0.128/25", "10.1.0.192/26"},
     {{"10.1.0.0", "10.1.0.0-10.1.0.127", "10.1.1.0-10.1.255.255"},
      {"10.1.0.128", "10.1.0.128-10.1.0.191"},
      {"10.1.0.192", "10.1.0.192-10.1.0.255"}}},
    {"holes side by side and at the end leave no empty range",
     {"10.1.0.0/24", "10.1.0.128/26", "10.1.0.192/26", "10.1.0.64/26"},
     {{"10.1.0.0", "10.1.0.0-10.1.0.63"},
      {"10.1.0.128", "10.1.0.128-10.1.0.191"},
      {"10.1.0.192", "10.1.0.192-10.1.0.255"},
      {"10.1.0.64", "10.1.0.64-10.1.0.127"}}},
    {"a subnet written with host bits is its prefix, at its network address",
     {"10.0.0.100/24", "10.0.0.0/24", "10.3.2.1/16", "10.0.0.7/32"},
     {{"10.0.0.0", "10.0.0.0-10.0.0.6", "10.0.0.8-10.0.0.255"},
      {"10.3.0.0", "10.3.0.0-10.3.255.255"},
      {"10.0.0.7", "10.0.0.7-10.0.0.7"}},
     {{"10.0.0.99", "255.255.255.0"}, {"10.0.0.7", "255.255.255.255"}}},
    {"the whole address space around the last address",
     {"0.0.0.0/0", "255.255.255.255/32"},
     {{"0.0.0.0", "0.0.0.0-255.255.255.254"},
      {"255.255.255.255", "255.255.255.255-255.255.255.255"}},
     {{"0.0.0.0", "0.0.0.0"}, {"255.255.255.255", "255.255.255.255"}}},
};

std::string RangeText(const AddressRange& range) {
  return FormatIpv4Address(range.first) + "-" + FormatIpv4Address(range.last);
}

TEST(SubnetPositions, EachAddressOfASubnetLiesInTheRangeOfOnePosition) {
  for (const Row& row : kRows) {
    std::vector<Ipv4Prefix> subnets;
    for (const char* subnet : row.subnets) {
      subnets.push_back(*ParseIpv4Prefix(subnet));
    }
    SubnetPositions positions(subnets);
    std::vector<std::vector<std::string>> seen;
    std::vector<std::string> readingOrder;
    for (DHCP_IP_ADDRESS address : positions.Addresses()) {
      const SubnetPositions::Position* position = positions.Find(address);
      ASSERT_NE(position, nullptr) << row.name;
      seen.push_back({FormatIpv4Address(position->address)});
      for (const AddressRange& range : positions.RangesOf(*position)) {
        seen.back().push_back(RangeText(range));
        readingOrder.push_back(RangeText(range));
      }
    }
    EXPECT_EQ(seen, row.positions) << row.name;
    std::vector<std::string> all;
    for (const AddressRange& range : positions.Ranges()) {
      all.push_back(RangeText(range));
    }
    EXPECT_EQ(all, readingOrder) << row.name;
    for (const auto& [address, mask] : row.masks) {
      std::uint32_t value = *ParseIpv4Address(address);
      for (DHCP_IP_ADDRESS at : positions.Addresses()) {
        const SubnetPositions::Position& position = *positions.Find(at);
        for (const AddressRange& range : positions.RangesOf(position)) {
          if (value >= range.first && value <= range.last) {
            EXPECT_EQ(FormatIpv4Address(SubnetPositions::MaskAt(position, value)), mask)
                << row.name << ": " << address;
          }
        }
      }
    }
  }
}

TEST(SubnetPositions, NoSubnetsNoPositions) {
  SubnetPositions positions;
  EXPECT_TRUE(positions.Addresses().empty());
  EXPECT_TRUE(positions.Ranges().empty());
  EXPECT_EQ(positions.Find(0), nullptr);
}

}  // namespace
}  // namespace platform::sources
