#include "platform/kea/SubnetPages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/sources/Ipv4Text.h"

namespace platform::kea {
namespace {

using sources::FormatIpv4Address;
using sources::ParseIpv4Address;
using sources::ParseIpv4Prefix;

struct ServerLease {
  const char* address;
  std::uint32_t subnetId;
};

// A server's leases served in pages as Kea serves them; `failAtPage` (counting from 1) fails.
class PagedServer {
 public:
  PagedServer(const std::vector<ServerLease>& leases, int failAtPage) : failAtPage_(failAtPage) {
    for (const ServerLease& entry : leases) {
      KeaLease lease;
      lease.address = *ParseIpv4Address(entry.address);
      lease.subnetId = entry.subnetId;
      leases_.push_back(lease);
    }
    std::sort(leases_.begin(), leases_.end(),
              [](const KeaLease& a, const KeaLease& b) { return a.address < b.address; });
  }

  KeaReply<std::vector<KeaLease>> Page(std::optional<std::uint32_t> after, std::uint32_t limit) {
    froms.push_back(after ? FormatIpv4Address(*after) : "start");
    KeaReply<std::vector<KeaLease>> reply{dhcp_status::kSuccess, {}};
    if (static_cast<int>(froms.size()) == failAtPage_) {
      return {dhcp_status::kRpcServerUnavailable, {}};
    }
    for (const KeaLease& lease : leases_) {
      if ((!after || lease.address > *after) && reply.value.size() < limit) {
        reply.value.push_back(lease);
      }
    }
    return reply;
  }

  std::vector<std::string> froms;

 private:
  std::vector<KeaLease> leases_;
  int failAtPage_;
};

struct Row {
  const char* name;
  std::vector<KeaSubnet> subnets;  // all at one network address
  std::vector<ServerLease> leases;
  std::uint32_t limit;
  int failAtPage;
  // Each batch until the walk ends: its status, then the addresses it brought.
  std::vector<std::vector<std::string>> batches;
  std::vector<std::string> froms;  // the pages asked for
};

KeaSubnet Subnet(std::uint32_t id, const char* prefix) {
  return KeaSubnet{id, *ParseIpv4Prefix(prefix)};
}

// 10.1.0.0/24 (id 1) between neighbours on both sides, one of them inside its range.
const std::vector<ServerLease> kNeighbours = {
    {"10.0.255.255", 9}, {"10.1.0.0", 1},  {"10.1.0.7", 1},   {"10.1.0.8", 5},
    {"10.1.0.9", 5},     {"10.1.0.10", 5}, {"10.1.0.255", 1}, {"10.1.1.0", 2}};

const Row kRows[] = {
    {"first and last address kept, neighbours left",
     {Subnet(1, "10.1.0.0/24")},
     kNeighbours,
     100,
     0,
     {{"0", "10.1.0.0", "10.1.0.7", "10.1.0.255"}},
     {"10.0.255.255"}},
    {"pages of other subnets only are read on at once",
     {Subnet(1, "10.1.0.0/24")},
     kNeighbours,
     2,
     0,
     {{"234", "10.1.0.0", "10.1.0.7"}, {"0", "10.1.0.255"}},
     {"10.0.255.255", "10.1.0.7", "10.1.0.9"}},
    {"a page that ends at the subnet's last address ends the walk",
     {Subnet(1, "10.1.0.0/24")},
     {{"10.1.0.1", 1}, {"10.1.0.255", 1}, {"10.1.1.0", 2}},
     2,
     0,
     {{"0", "10.1.0.1", "10.1.0.255"}},
     {"10.0.255.255"}},
    {"a full last page asks once more",
     {Subnet(1, "10.1.0.0/24")},
     {{"10.1.0.1", 1}, {"10.1.0.2", 1}},
     2,
     0,
     {{"234", "10.1.0.1", "10.1.0.2"}, {"0"}},
     {"10.0.255.255", "10.1.0.2"}},
    {"an empty subnet is one empty batch",
     {Subnet(3, "10.3.0.0/16")},
     kNeighbours,
     3,
     0,
     {{"0"}},
     {"10.2.255.255"}},
    {"a subnet at 0.0.0.0 starts at the start",
     {Subnet(1, "0.0.0.0/8")},
     {{"0.0.0.1", 1}, {"0.255.255.255", 1}, {"1.0.0.0", 1}},
     5,
     0,
     {{"0", "0.0.0.1", "0.255.255.255"}},
     {"start"}},
    {"subnets at one network address come together in address order",
     {Subnet(1, "10.1.0.0/16"), Subnet(4, "10.1.0.0/24")},
     {{"10.1.0.5", 4}, {"10.1.0.6", 1}, {"10.1.1.6", 1}, {"10.1.255.255", 4}, {"10.2.0.1", 2}},
     2,
     0,
     {{"234", "10.1.0.5", "10.1.0.6"}, {"0", "10.1.1.6", "10.1.255.255"}},
     {"10.0.255.255", "10.1.0.6"}},
    {"a failed page fails the batch",
     {Subnet(1, "10.1.0.0/24")},
     kNeighbours,
     2,
     1,
     {{"1722"}},
     {"10.0.255.255"}},
    {"a failed page after one of other subnets fails its batch",
     {Subnet(1, "10.1.0.0/24")},
     kNeighbours,
     2,
     3,
     {{"234", "10.1.0.0", "10.1.0.7"}, {"1722"}},
     {"10.0.255.255", "10.1.0.7", "10.1.0.9"}},
};

// Every batch of the walk from handle 0 until one other than 234, each as its status and
// addresses; each 234 must move the handle on.
std::vector<std::vector<std::string>> Walk(const SubnetScope& scope, PagedServer& server,
                                           std::uint32_t limit) {
  std::vector<std::vector<std::string>> batches;
  DHCP_RESUME_HANDLE resume = 0;
  for (;;) {
    SubnetBatch batch = ReadSubnetBatch(scope, resume, limit, [&](auto after, auto pageLimit) {
      return server.Page(after, pageLimit);
    });
    batches.push_back({std::to_string(batch.status)});
    for (const KeaLease& lease : batch.leases) {
      batches.back().push_back(FormatIpv4Address(lease.address));
    }
    if (batch.status != dhcp_status::kMoreData || batches.size() > 10) {
      return batches;
    }
    EXPECT_GT(batch.resume, resume);
    EXPECT_FALSE(batch.leases.empty());
    resume = batch.resume;
  }
}

TEST(SubnetPages, WalksTheSubnetRangeOverAddressOrderedPages) {
  for (const Row& row : kRows) {
    SubnetScope scope(row.subnets.front());
    for (std::size_t i = 1; i < row.subnets.size(); ++i) {
      scope.Add(row.subnets[i]);
    }
    PagedServer server(row.leases, row.failAtPage);
    EXPECT_EQ(Walk(scope, server, row.limit), row.batches) << row.name;
    EXPECT_EQ(server.froms, row.froms) << row.name;
  }
}

TEST(SubnetPages, EachLeaseCarriesTheMaskOfItsOwnSubnet) {
  SubnetScope scope(Subnet(1, "10.1.0.0/16"));
  scope.Add(Subnet(4, "10.1.0.0/24"));
  EXPECT_EQ(scope.LastAddress(), 0x0A01FFFFu);
  KeaLease lease;
  lease.subnetId = 4;
  EXPECT_EQ(scope.MaskOf(lease), 0xFFFFFF00u);
  lease.subnetId = 1;
  EXPECT_EQ(scope.MaskOf(lease), 0xFFFF0000u);
}

TEST(SubnetPages, HandleAfterTheEndHasNothingMore) {
  SubnetScope scope(Subnet(1, "10.1.0.0/24"));
  PagedServer server(kNeighbours, 0);
  auto read = [&](auto after, auto limit) { return server.Page(after, limit); };
  EXPECT_EQ(ReadSubnetBatch(scope, EndOfScope(scope), 10, read).status, dhcp_status::kNoMoreItems);
  EXPECT_TRUE(server.froms.empty());
  // A page that goes backwards would make the walk repeat leases for ever.
  auto backwards = [](std::optional<std::uint32_t>, std::uint32_t) {
    KeaLease lease;
    lease.address = 0x0A010001;
    lease.subnetId = 1;
    return KeaReply<std::vector<KeaLease>>{dhcp_status::kSuccess, {lease, lease}};
  };
  EXPECT_EQ(ReadSubnetBatch(scope, 0, 2, backwards).status, dhcp_status::kInvalidData);
}

}  // namespace
}  // namespace platform::kea
