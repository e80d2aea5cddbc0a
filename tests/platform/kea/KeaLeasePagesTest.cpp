#include "platform/kea/KeaLeasePages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/sources/Ipv4Text.h"
#include "platform/sources/SourceServer.h"

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

// The Kea source's walk over a paged server, as KeaSource reads Kea, with the row's subnets.
class PagedSource : public sources::LeaseSource {
 public:
  PagedSource(std::vector<sources::Ipv4Prefix> subnets, PagedServer& server, std::uint32_t limit)
      : subnets_(std::move(subnets)), server_(server), limit_(limit) {}

  sources::SourceReply<sources::SourceVersion> GetVersion() override {
    return {dhcp_status::kSuccess, {}};
  }
  sources::SourceReply<std::vector<sources::Ipv4Prefix>> GetSubnets() override {
    return {dhcp_status::kSuccess, subnets_};
  }
  std::unique_ptr<sources::LeaseCursor> ReadRange(sources::AddressRange range,
                                                  std::span<const sources::AddressRange>) override {
    return std::make_unique<KeaRangeCursor>(
        range, limit_, [this](auto after, auto limit) { return server_.Page(after, limit); });
  }

 private:
  std::vector<sources::Ipv4Prefix> subnets_;
  PagedServer& server_;
  std::uint32_t limit_;
};

struct Row {
  const char* name;
  std::vector<const char*> subnets;  // the first is the one read (at its network address)
  std::vector<ServerLease> leases;
  std::uint32_t limit;
  int failAtPage;
  // Each batch until the walk ends: its status, then the addresses it brought.
  std::vector<std::vector<std::string>> batches;
  std::vector<std::string> froms;  // the pages asked for
};

// 10.1.0.0/24 between neighbours on both sides; three leases inside its range carry the id of
// another subnet (Kea keeps a lease's id when subnets are renumbered), and are 10.1.0.0/24's.
const std::vector<ServerLease> kNeighbours = {
    {"10.0.255.255", 9}, {"10.1.0.0", 1},  {"10.1.0.7", 1},   {"10.1.0.8", 5},
    {"10.1.0.9", 5},     {"10.1.0.10", 5}, {"10.1.0.255", 1}, {"10.1.1.0", 2}};

const Row kRows[] = {
    {"first and last address kept, neighbours left, whatever the leases' ids",
     {"10.1.0.0/24"},
     kNeighbours,
     100,
     0,
     {{"0", "10.1.0.0", "10.1.0.7", "10.1.0.8", "10.1.0.9", "10.1.0.10", "10.1.0.255"}},
     {"10.0.255.255"}},
    {"each page a batch",
     {"10.1.0.0/24"},
     kNeighbours,
     2,
     0,
     {{"234", "10.1.0.0", "10.1.0.7"},
      {"234", "10.1.0.8", "10.1.0.9"},
      {"0", "10.1.0.10", "10.1.0.255"}},
     {"10.0.255.255", "10.1.0.7", "10.1.0.9"}},
    {"a page that ends at the subnet's last address ends the walk",
     {"10.1.0.0/24"},
     {{"10.1.0.1", 1}, {"10.1.0.255", 1}, {"10.1.1.0", 2}},
     2,
     0,
     {{"0", "10.1.0.1", "10.1.0.255"}},
     {"10.0.255.255"}},
    {"a full last page asks once more",
     {"10.1.0.0/24"},
     {{"10.1.0.1", 1}, {"10.1.0.2", 1}},
     2,
     0,
     {{"234", "10.1.0.1", "10.1.0.2"}, {"0"}},
     {"10.0.255.255", "10.1.0.2"}},
    {"an empty subnet is one empty batch",
     {"10.3.0.0/16"},
     kNeighbours,
     3,
     0,
     {{"0"}},
     {"10.2.255.255"}},
    {"a subnet at 0.0.0.0 starts at the start",
     {"0.0.0.0/8"},
     {{"0.0.0.1", 1}, {"0.255.255.255", 1}, {"1.0.0.0", 1}},
     5,
     0,
     {{"0", "0.0.0.1", "0.255.255.255"}},
     {"start"}},
    {"subnets at one network address come together in address order",
     {"10.1.0.0/16", "10.1.0.0/24"},
     {{"10.1.0.5", 4}, {"10.1.0.6", 1}, {"10.1.1.6", 1}, {"10.1.255.255", 4}, {"10.2.0.1", 2}},
     2,
     0,
     {{"234", "10.1.0.5", "10.1.0.6"}, {"0", "10.1.1.6", "10.1.255.255"}},
     {"10.0.255.255", "10.1.0.6"}},
    {"a subnet inside another keeps its leases: the walk steps over it",
     {"10.1.0.0/16", "10.1.0.128/25", "10.1.7.0/24", "10.1.7.64/26"},
     {{"10.1.0.5", 1},
      {"10.1.0.200", 1},
      {"10.1.0.201", 1},
      {"10.1.3.1", 7},
      {"10.1.7.70", 1},
      {"10.1.8.1", 1}},
     100,
     0,
     {{"234", "10.1.0.5"}, {"234", "10.1.3.1"}, {"0", "10.1.8.1"}},
     {"10.0.255.255", "10.1.0.255", "10.1.7.255"}},
    {"a subnet written with host bits is read from its network address",
     {"10.1.0.100/24"},
     kNeighbours,
     100,
     0,
     {{"0", "10.1.0.0", "10.1.0.7", "10.1.0.8", "10.1.0.9", "10.1.0.10", "10.1.0.255"}},
     {"10.0.255.255"}},
    {"a failed page fails the batch",
     {"10.1.0.0/24"},
     kNeighbours,
     2,
     1,
     {{"1722"}},
     {"10.0.255.255"}},
    {"a failed page after the first batches fails its batch",
     {"10.1.0.0/24"},
     kNeighbours,
     2,
     3,
     {{"234", "10.1.0.0", "10.1.0.7"}, {"234", "10.1.0.8", "10.1.0.9"}, {"1722"}},
     {"10.0.255.255", "10.1.0.7", "10.1.0.9"}},
};

// Every batch of the walk of the row's first subnet from handle 0 until one other than 234, each
// as its status and addresses; each 234 must move the handle on.
std::vector<std::vector<std::string>> Walk(sources::SourceServer& server, DHCP_IP_ADDRESS subnet) {
  std::vector<std::vector<std::string>> batches;
  DHCP_RESUME_HANDLE resume = 0;
  for (;;) {
    sources::ClientBatch batch = server.GetClients(subnet, resume);
    batches.push_back({std::to_string(batch.status)});
    for (const sources::SourceLease& lease : batch.leases) {
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

TEST(KeaLeasePages, WalkTheSubnetRangeOverAddressOrderedPages) {
  for (const Row& row : kRows) {
    std::vector<sources::Ipv4Prefix> subnets;
    for (const char* subnet : row.subnets) {
      subnets.push_back(*ParseIpv4Prefix(subnet));
    }
    PagedServer pages(row.leases, row.failAtPage);
    sources::SourceServer server(std::make_unique<PagedSource>(subnets, pages, row.limit));
    ASSERT_EQ(server.GetSubnets().status, dhcp_status::kSuccess);
    EXPECT_EQ(Walk(server, sources::NetworkOf(subnets.front()).address), row.batches) << row.name;
    EXPECT_EQ(pages.froms, row.froms) << row.name;
  }
}

KeaLease Beyond() {
  KeaLease lease;
  lease.address = 0x0A020000;
  return lease;
}

TEST(KeaLeasePages, PageOutOfOrderEndsTheWalk) {
  KeaLease lease;
  lease.address = 0x0A010001;
  // A page that goes backwards would make the walk repeat leases for ever; one that goes back
  // beyond the range's end would hide leases of its own.
  for (std::vector<KeaLease> page :
       {std::vector<KeaLease>{lease, lease}, std::vector<KeaLease>{Beyond(), lease}}) {
    KeaRangeCursor cursor({0x0A010000, 0x0A0100FF}, 2, [&](auto, auto) {
      return KeaReply<std::vector<KeaLease>>{dhcp_status::kSuccess, page};
    });
    std::vector<sources::SourceLease> leases;
    EXPECT_EQ(cursor.Next(leases), dhcp_status::kInvalidData);
  }
}

TEST(KeaLeasePages, LeaseExpiresAfterItsValidLifetime) {
  KeaLease lease;
  lease.lastTransactionTime = 3999996400;
  lease.validLifetime = 3600;
  EXPECT_EQ(ExpiryOf(lease), 4000000000u);
  lease.validLifetime = kInfiniteLifetime;
  EXPECT_EQ(ExpiryOf(lease), std::nullopt);
  lease.lastTransactionTime = 0xFFFFFFFFFFFFFFFFull;
  lease.validLifetime = 3600;
  EXPECT_EQ(ExpiryOf(lease), std::nullopt);
  lease.lastTransactionTime = 0;
  lease.validLifetime = 0;
  EXPECT_EQ(ExpiryOf(lease), 0u);
}

}  // namespace
}  // namespace platform::kea
