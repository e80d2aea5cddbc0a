#include "platform/sources/LeaseTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace platform::sources {
namespace {

// Many declarations of few addresses in a random order, and removals among them: the table
// holds the last of each address, sorted, as a plain map of the same declarations does; names
// that shrink and grow again keep their own text.
TEST(LeaseTable, HoldsTheLastDeclarationOfEachAddress) {
  std::mt19937 random(7);
  std::map<std::uint32_t, SourceLease> expected;
  LeaseTableBuilder builder;
  for (int i = 0; i < 20000; ++i) {
    std::uint32_t address = 0x0A000000u + random() % 3000;
    if (random() % 5 == 0) {
      builder.Remove(address);
      expected.erase(address);
      continue;
    }
    SourceLease lease;
    lease.address = address;
    lease.hardwareAddress.assign(random() % (kLongestHardwareAddress + 1),
                                 static_cast<std::uint8_t>(i));
    lease.hostName = std::string(random() % 12, static_cast<char>('a' + i % 26));
    if (random() % 2 == 0) {
      lease.expires = i;
    }
    builder.Set(address, lease.hardwareAddress, lease.hostName, lease.expires);
    expected[address] = lease;
  }
  LeaseTable table = std::move(builder).Finish();
  ASSERT_EQ(table.Size(), expected.size());
  std::size_t index = 0;
  for (const auto& [address, lease] : expected) {
    EXPECT_EQ(table.At(index), lease) << index;
    EXPECT_EQ(table.AddressAt(index), address);
    ++index;
  }
}

TEST(LeaseTable, LeasesOfARange) {
  LeaseTableBuilder builder;
  for (std::uint32_t address : {30u, 10u, 20u, 40u, 0xFFFFFFFFu, 0u}) {
    builder.Set(address, {}, "", std::nullopt);
  }
  LeaseTable table = std::move(builder).Finish();
  auto addresses = [&](std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint32_t> found;
    for (const SourceLease& lease : table.LeasesIn(first, last)) {
      found.push_back(lease.address);
    }
    return found;
  };
  EXPECT_EQ(addresses(10, 30), (std::vector<std::uint32_t>{10, 20, 30}));
  EXPECT_EQ(addresses(11, 19), std::vector<std::uint32_t>{});
  EXPECT_EQ(addresses(0, 0xFFFFFFFFu),
            (std::vector<std::uint32_t>{0, 10, 20, 30, 40, 0xFFFFFFFFu}));
  EXPECT_EQ(table.LowerBound(41), 5u);
}

}  // namespace
}  // namespace platform::sources
