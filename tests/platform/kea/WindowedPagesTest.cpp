#include "platform/kea/WindowedPages.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/kea/KeaLeasePages.h"
#include "platform/sources/Ipv4Text.h"
#include "platform/sources/SourceServer.h"
#include "tests/fakes/PagedKea.h"

namespace platform::kea {
namespace {

using sources::FormatIpv4Address;
using sources::ParseIpv4Address;
using sources::ParseIpv4Prefix;

constexpr std::uint32_t kPageLimit = 500;
constexpr std::size_t kMaxHeld = 32;

using Leases = fake_kea::PagedLeases;

enum class Order { AsSent, Reversed, Shuffled };

struct Sent {
  std::uint64_t tag;
  std::optional<std::uint32_t> after;
  std::uint32_t limit;
};

// A Kea whose answers to the pages under way come back in the order of the test's choosing;
// `fails` makes a page's answer a failure.
class SideBySideKea : public ConcurrentExchange {
 public:
  SideBySideKea(const Leases& leases, std::size_t lanes, Order order,
                std::function<bool(const Sent&)> fails)
      : leases_(leases), lanes_(lanes), order_(order), fails_(std::move(fails)) {}

  std::size_t Lanes() const override { return lanes_; }

  void Send(std::uint64_t tag, const std::string& request, std::size_t) override {
    EXPECT_LT(underWay_.size(), lanes_);
    fake_kea::PageRequest page = fake_kea::ParsePageRequest(request);
    Sent sent{tag, page.after, page.limit};
    underWay_.push_back(sent);
    this->sent.push_back(sent);
  }

  // One answer a call, whether or not it is waited for: the pages come back while the leases
  // of others are handed on.
  std::vector<TaggedReply> Collect(bool) override {
    if (underWay_.empty()) {
      return {};
    }
    std::size_t pick = 0;
    if (order_ == Order::Reversed) {
      pick = underWay_.size() - 1;
    } else if (order_ == Order::Shuffled) {
      pick = std::uniform_int_distribution<std::size_t>(0, underWay_.size() - 1)(random_);
    }
    Sent sent = underWay_[pick];
    underWay_.erase(underWay_.begin() + static_cast<std::ptrdiff_t>(pick));
    if (fails_ && fails_(sent)) {
      return {{sent.tag, {dhcp_status::kRpcServerUnavailable, {}}, std::nullopt}};
    }
    return {{sent.tag,
             {dhcp_status::kSuccess, fake_kea::PageReplyText(leases_.Page(sent.after, sent.limit))},
             std::nullopt}};
  }

  void Abandon() override { underWay_.clear(); }

  std::vector<Sent> sent;

 private:
  const Leases& leases_;
  std::size_t lanes_;
  Order order_;
  std::function<bool(const Sent&)> fails_;
  std::vector<Sent> underWay_;
  std::mt19937 random_{20261208};
};

// The sources of the export, with this test's page size and bound on what is held.
class WindowedSource : public fake_kea::WindowedSource {
 public:
  WindowedSource(std::vector<sources::Ipv4Prefix> subnets, SideBySideKea& kea)
      : fake_kea::WindowedSource(std::move(subnets), kea, kPageLimit, kMaxHeld) {}
};

class SequentialSource : public fake_kea::SequentialSource {
 public:
  SequentialSource(std::vector<sources::Ipv4Prefix> subnets, const Leases& leases)
      : fake_kea::SequentialSource(std::move(subnets), leases, kPageLimit) {}
};

// Each subnet's final status and the addresses of all its batches, "status: a b c ...".
std::vector<std::string> Export(sources::SourceServer& server) {
  std::vector<std::string> subnets;
  sources::SourceReply<std::vector<DHCP_IP_ADDRESS>> positions = server.GetSubnets();
  EXPECT_EQ(positions.status, dhcp_status::kSuccess);
  for (DHCP_IP_ADDRESS subnet : positions.value) {
    std::string leases;
    DHCP_RESUME_HANDLE resume = 0;
    sources::ClientBatch batch;
    do {
      batch = server.GetClients(subnet, resume);
      for (const sources::SourceLease& lease : batch.leases) {
        leases.append(" ").append(FormatIpv4Address(lease.address));
      }
      resume = batch.resume;
    } while (batch.status == dhcp_status::kMoreData);
    subnets.push_back(FormatIpv4Address(subnet) + " " + std::to_string(batch.status) + ":" +
                      (batch.status == dhcp_status::kSuccess ? leases : ""));
  }
  return subnets;
}

// `count` leases from `first`, `stride` addresses apart.
void AddLeases(Leases& leases, const char* first, std::uint32_t count, std::uint32_t stride = 1) {
  std::uint32_t address = *ParseIpv4Address(first);
  for (std::uint32_t n = 0; n < count; ++n, address += stride) {
    leases.addresses.push_back(address);
  }
}

struct Network {
  const char* name;
  std::vector<const char*> subnets;
  Leases leases;
};

std::vector<Network> Networks() {
  std::vector<Network> networks;
  networks.push_back({"dense subnets of many pages, one small, a lease outside them",
                      {"10.1.0.0/16", "10.2.0.0/24", "10.3.0.0/16"},
                      {}});
  AddLeases(networks.back().leases, "10.1.0.1", 2600);
  AddLeases(networks.back().leases, "10.2.0.10", 7);
  AddLeases(networks.back().leases, "10.2.200.1", 1);
  AddLeases(networks.back().leases, "10.3.0.0", 1501);
  networks.push_back({"sparse, then dense, then sparse again, in one /8 and a neighbour",
                      {"11.0.0.0/8", "12.0.0.0/16"},
                      {}});
  AddLeases(networks.back().leases, "11.0.0.5", 300, 37);
  AddLeases(networks.back().leases, "11.2.0.0", 1700);
  AddLeases(networks.back().leases, "11.200.0.0", 40, 99991);
  AddLeases(networks.back().leases, "12.0.0.1", 3);
  networks.push_back({"many small subnets in an order other than their addresses'", {}, {}});
  static const char* const kSmall[] = {"10.9.7.0/24", "10.9.1.0/24", "10.9.3.0/24",
                                       "10.9.2.0/24", "10.9.9.0/24", "10.9.4.0/24",
                                       "10.9.8.0/24", "10.9.5.0/24", "10.9.6.0/24"};
  networks.back().subnets.assign(std::begin(kSmall), std::end(kSmall));
  for (int subnet = 1; subnet <= 9; ++subnet) {
    AddLeases(networks.back().leases, ("10.9." + std::to_string(subnet) + ".1").c_str(),
              static_cast<std::uint32_t>(subnet * 28));
  }
  networks.push_back({"subnets inside others, and the last address of all",
                      {"10.4.0.0/16", "10.4.0.0/24", "10.4.7.0/24", "255.255.255.0/24"},
                      {}});
  AddLeases(networks.back().leases, "10.4.0.1", 900);
  AddLeases(networks.back().leases, "10.4.7.3", 200);
  AddLeases(networks.back().leases, "10.4.200.0", 600);
  AddLeases(networks.back().leases, "255.255.255.250", 6);
  return networks;
}

std::vector<sources::Ipv4Prefix> Prefixes(const Network& network) {
  std::vector<sources::Ipv4Prefix> prefixes;
  for (const char* subnet : network.subnets) {
    prefixes.push_back(*ParseIpv4Prefix(subnet));
  }
  return prefixes;
}

TEST(WindowedPages, ExportIsThatOfOnePageAfterAnotherWhateverOrderPagesComeIn) {
  for (const Network& network : Networks()) {
    sources::SourceServer sequential(
        std::make_unique<SequentialSource>(Prefixes(network), network.leases));
    const std::vector<std::string> expected = Export(sequential);
    for (std::size_t lanes : {1, 3, 16}) {
      for (Order order : {Order::AsSent, Order::Reversed, Order::Shuffled}) {
        SCOPED_TRACE(testing::Message() << network.name << ", " << lanes << " lanes, order "
                                        << static_cast<int>(order));
        SideBySideKea kea(network.leases, lanes, order, {});
        sources::SourceServer windowed(std::make_unique<WindowedSource>(Prefixes(network), kea));
        EXPECT_EQ(Export(windowed), expected);
        for (const Sent& sent : kea.sent) {
          EXPECT_LE(sent.limit, kPageLimit);
          EXPECT_GE(sent.limit, 1u);
        }
      }
    }
  }
}

// Pieces are cut to what a page covers, so that a lease is asked for about once: side by side
// costs the server few more pages than one after another, a page more for each piece that ran
// past the end of its subnet's leases.
TEST(WindowedPages, AsksAboutAsManyPagesAsOneAfterAnother) {
  Network network{"dense", {"10.1.0.0/16", "10.2.0.0/16", "10.3.0.0/16", "10.4.0.0/16"}, {}};
  for (const char* first : {"10.1.0.1", "10.2.0.1", "10.3.0.1", "10.4.0.1"}) {
    AddLeases(network.leases, first, 20000);
  }
  auto source = std::make_unique<SequentialSource>(Prefixes(network), network.leases);
  SequentialSource& counted = *source;
  sources::SourceServer sequential(std::move(source));
  const std::vector<std::string> expected = Export(sequential);
  constexpr std::size_t kLanes = 16;
  SideBySideKea kea(network.leases, kLanes, Order::AsSent, {});
  sources::SourceServer windowed(std::make_unique<WindowedSource>(Prefixes(network), kea));
  EXPECT_EQ(Export(windowed), expected);
  EXPECT_LE(kea.sent.size(), counted.pages + counted.ranges * kLanes);
  EXPECT_LE(kea.sent.size(), counted.pages * 6 / 5);
}

TEST(WindowedPages, FailedPageFailsItsSubnetWholeAndTheOthersAreRead) {
  Network network = Networks().front();
  sources::SourceServer sequential(
      std::make_unique<SequentialSource>(Prefixes(network), network.leases));
  std::vector<std::string> expected = Export(sequential);
  // Every lease of 10.1.0.0/16 is asked for by a page from within these 600 addresses, and no
  // other page there tells of it.
  const std::uint32_t from = *ParseIpv4Address("10.1.3.0");
  const std::uint32_t to = *ParseIpv4Address("10.1.5.87");
  expected[0] = "10.1.0.0 1722:";
  for (Order order : {Order::AsSent, Order::Reversed, Order::Shuffled}) {
    SideBySideKea kea(network.leases, 16, order, [&](const Sent& sent) {
      return sent.after && *sent.after + 1 >= from && *sent.after + 1 <= to;
    });
    sources::SourceServer windowed(std::make_unique<WindowedSource>(Prefixes(network), kea));
    EXPECT_EQ(Export(windowed), expected) << static_cast<int>(order);
  }
}

TEST(WindowedPages, PageOutOfOrderFailsItsSubnet) {
  Network network{"two", {"10.1.0.0/30", "10.2.0.0/24"}, {}};
  AddLeases(network.leases, "10.1.0.0", 4);
  AddLeases(network.leases, "10.2.0.2", 1);
  AddLeases(network.leases, "10.2.0.1", 1);
  SideBySideKea kea(network.leases, 16, Order::AsSent, {});
  sources::SourceServer windowed(std::make_unique<WindowedSource>(Prefixes(network), kea));
  EXPECT_EQ(Export(windowed),
            (std::vector<std::string>{"10.1.0.0 0: 10.1.0.0 10.1.0.1 10.1.0.2 10.1.0.3",
                                      "10.2.0.0 13:"}));
}

// A walk that starts elsewhere than where the reading ahead went drops what is under way there;
// its answers, coming later, change nothing.
TEST(WindowedPages, WalkStartedElsewhereDropsWhatWasReadAhead) {
  Network network = Networks().front();
  sources::SourceServer sequential(
      std::make_unique<SequentialSource>(Prefixes(network), network.leases));
  const std::vector<std::string> expected = Export(sequential);
  SideBySideKea kea(network.leases, 16, Order::Reversed, {});
  sources::SourceServer windowed(std::make_unique<WindowedSource>(Prefixes(network), kea));
  ASSERT_EQ(windowed.GetSubnets().status, dhcp_status::kSuccess);
  const DHCP_IP_ADDRESS third = *ParseIpv4Address("10.3.0.0");
  sources::ClientBatch first = windowed.GetClients(*ParseIpv4Address("10.1.0.0"), 0);
  ASSERT_EQ(first.status, dhcp_status::kMoreData);
  // From the middle of the third subnet, then the whole export again.
  sources::ClientBatch middle = windowed.GetClients(third, 1000);
  ASSERT_FALSE(middle.leases.empty());
  EXPECT_EQ(FormatIpv4Address(middle.leases.front().address), "10.3.3.232");
  EXPECT_EQ(Export(windowed), expected);
}

}  // namespace
}  // namespace platform::kea
