#include "platform/sources/SourceServer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace platform::sources {
namespace {

std::uint32_t Address(const char* text) {
  return *ParseIpv4Address(text);
}

// A source that holds its leases in memory and gives `perStep` of them a step, recording what it
// was asked; its cursors may be told to misbehave.
class ScriptedSource : public LeaseSource {
 public:
  enum class Fault { None, FailSecondStep, Backwards, OutsideTheRange, EmptyPromise };

  ScriptedSource(std::vector<const char*> subnets, std::vector<const char*> leases,
                 std::size_t perStep = 2)
      : perStep_(perStep) {
    SetSubnets(subnets);
    for (const char* lease : leases) {
      leases_.push_back(Address(lease));
    }
  }

  void SetSubnets(const std::vector<const char*>& subnets) {
    subnets_.clear();
    for (const char* subnet : subnets) {
      subnets_.push_back(*ParseIpv4Prefix(subnet));
    }
  }

  SourceReply<SourceVersion> GetVersion() override { return {dhcp_status::kSuccess, {3, 0}}; }

  SourceReply<std::vector<Ipv4Prefix>> GetSubnets() override {
    ++subnetCalls;
    return {subnetStatus, subnets_};
  }

  std::unique_ptr<LeaseCursor> ReadRange(AddressRange range,
                                         std::span<const AddressRange> following) override {
    asked.push_back(Text(range));
    std::string after;
    for (const AddressRange& next : following) {
      if (!after.empty()) {
        after += ' ';
      }
      after.append(Text(next));
    }
    followings.push_back(after);
    return std::make_unique<Cursor>(*this, range);
  }

  static std::string Text(const AddressRange& range) {
    return FormatIpv4Address(range.first) + "-" + FormatIpv4Address(range.last);
  }

  Fault fault = Fault::None;
  std::uint32_t subnetStatus = dhcp_status::kSuccess;
  int subnetCalls = 0;
  std::vector<std::string> asked;       // every range a cursor was opened for
  std::vector<std::string> followings;  // with the ranges said to follow it

 private:
  class Cursor : public LeaseCursor {
   public:
    Cursor(ScriptedSource& source, AddressRange range) : source_(source), range_(range) {}

    std::uint32_t Next(std::vector<SourceLease>& leases) override {
      if (++steps_ == 2 && source_.fault == Fault::FailSecondStep) {
        return dhcp_status::kRpcServerUnavailable;
      }
      if (source_.fault == Fault::EmptyPromise) {
        return dhcp_status::kMoreData;
      }
      std::size_t given = 0;
      for (std::uint32_t address : source_.leases_) {
        if (address >= range_.first && address <= range_.last && (!last_ || address > *last_)) {
          if (given == source_.perStep_) {
            return dhcp_status::kMoreData;
          }
          leases.push_back(SourceLease{address, {}, {}, {}});
          last_ = address;
          ++given;
        }
      }
      if (source_.fault == Fault::Backwards && !leases.empty()) {
        leases.push_back(leases.back());
      }
      if (source_.fault == Fault::OutsideTheRange) {
        leases.push_back(SourceLease{range_.last + 1, {}, {}, {}});
      }
      return dhcp_status::kSuccess;
    }

   private:
    ScriptedSource& source_;
    AddressRange range_;
    std::optional<std::uint32_t> last_;
    int steps_ = 0;
  };

  std::vector<Ipv4Prefix> subnets_;
  std::vector<std::uint32_t> leases_;  // ascending
  std::size_t perStep_;
};

struct Walked {
  std::vector<std::string> batches;  // "status: address address ..."
  std::vector<DHCP_RESUME_HANDLE> handles;
};

std::string BatchText(const ClientBatch& batch) {
  std::string text = std::to_string(batch.status) + ":";
  for (const SourceLease& lease : batch.leases) {
    text.append(1, ' ').append(FormatIpv4Address(lease.address));
  }
  return text;
}

// The batches of a subnet from handle 0 while they say 234.
Walked Walk(SourceServer& server, const char* subnet) {
  Walked walked;
  DHCP_RESUME_HANDLE resume = 0;
  for (int i = 0; i < 20; ++i) {
    ClientBatch batch = server.GetClients(Address(subnet), resume);
    walked.batches.push_back(BatchText(batch));
    walked.handles.push_back(batch.resume);
    if (batch.status != dhcp_status::kMoreData) {
      break;
    }
    resume = batch.resume;
  }
  return walked;
}

const std::vector<const char*> kSubnets = {"10.2.0.0/16", "10.1.0.0/16", "10.1.5.0/24"};
const std::vector<const char*> kLeases = {"10.1.0.1", "10.1.4.9", "10.1.5.1", "10.1.5.2",
                                          "10.1.5.3", "10.1.9.9", "10.2.0.1", "10.9.0.1"};

TEST(SourceServer, BatchesOfEachSubnetInOrderWithTheRangesThatFollow) {
  auto owned = std::make_unique<ScriptedSource>(kSubnets, kLeases);
  ScriptedSource& source = *owned;
  SourceServer server(std::move(owned));
  ASSERT_EQ(server.GetSubnets().value,
            (std::vector<DHCP_IP_ADDRESS>{Address("10.2.0.0"), Address("10.1.0.0"),
                                          Address("10.1.5.0")}));
  Walked outer = Walk(server, "10.1.0.0");
  EXPECT_EQ(outer.batches, (std::vector<std::string>{"234: 10.1.0.1 10.1.4.9", "0: 10.1.9.9"}));
  EXPECT_EQ(outer.handles, (std::vector<DHCP_RESUME_HANDLE>{(4 << 8) + 10, 65536}));
  Walked inner = Walk(server, "10.1.5.0");
  EXPECT_EQ(inner.batches, (std::vector<std::string>{"234: 10.1.5.1 10.1.5.2", "0: 10.1.5.3"}));
  // One cursor a range, kept from batch to batch, each told what the enumeration reads after it.
  EXPECT_EQ(source.asked, (std::vector<std::string>{"10.1.0.0-10.1.4.255", "10.1.6.0-10.1.255.255",
                                                    "10.1.5.0-10.1.5.255"}));
  EXPECT_EQ(source.followings,
            (std::vector<std::string>{"10.1.6.0-10.1.255.255 10.1.5.0-10.1.5.255",
                                      "10.1.5.0-10.1.5.255", ""}));
}

TEST(SourceServer, HandleGivenOutResumesWhereTheLastBatchEnded) {
  SourceServer first(std::make_unique<ScriptedSource>(kSubnets, kLeases));
  ClientBatch batch = first.GetClients(Address("10.1.0.0"), 0);
  ASSERT_EQ(batch.status, dhcp_status::kMoreData);
  // Another server (or the same after another subnet's walk) has no cursor there: the walk
  // starts again from the handle, and brings the rest alone.
  auto owned = std::make_unique<ScriptedSource>(kSubnets, kLeases);
  ScriptedSource& source = *owned;
  SourceServer second(std::move(owned));
  EXPECT_EQ(BatchText(second.GetClients(Address("10.1.0.0"), batch.resume)), "0: 10.1.9.9");
  EXPECT_EQ(source.asked,
            (std::vector<std::string>{"10.1.4.10-10.1.4.255", "10.1.6.0-10.1.255.255"}));
  // A handle inside a hole starts after it; one past the end has nothing more.
  EXPECT_EQ(BatchText(second.GetClients(Address("10.1.0.0"), (5 << 8) + 7)), "0: 10.1.9.9");
  EXPECT_EQ(second.GetClients(Address("10.1.0.0"), 65536).status, dhcp_status::kNoMoreItems);
  EXPECT_EQ(second.GetClients(Address("10.1.0.0"), 65535).status, dhcp_status::kSuccess);
}

TEST(SourceServer, EachLeaseCarriesTheMaskOfTheSubnetThatHoldsIt) {
  SourceServer server(
      std::make_unique<ScriptedSource>(std::vector<const char*>{"10.1.0.0/16", "10.1.0.0/24"},
                                       std::vector<const char*>{"10.1.0.9", "10.1.1.9"}));
  ClientBatch batch = server.GetClients(Address("10.1.0.0"), 0);
  EXPECT_EQ(BatchText(batch), "0: 10.1.0.9 10.1.1.9");
  EXPECT_EQ(batch.masks, (std::vector<DHCP_IP_MASK>{0xFFFFFF00u, 0xFFFF0000u}));
}

TEST(SourceServer, CursorThatBreaksItsWordFailsTheSubnetWithNoLeases) {
  struct FaultRow {
    ScriptedSource::Fault fault;
    std::uint32_t status;
  };
  for (FaultRow row : {FaultRow{ScriptedSource::Fault::FailSecondStep, 1722},
                       FaultRow{ScriptedSource::Fault::Backwards, 13},
                       FaultRow{ScriptedSource::Fault::OutsideTheRange, 13},
                       FaultRow{ScriptedSource::Fault::EmptyPromise, 13}}) {
    auto owned = std::make_unique<ScriptedSource>(
        std::vector<const char*>{"10.1.5.0/24"},
        std::vector<const char*>{"10.1.5.1", "10.1.5.2", "10.1.5.3", "10.1.5.4", "10.1.5.5"}, 4);
    owned->fault = row.fault;
    SourceServer server(std::move(owned));
    Walked walked = Walk(server, "10.1.5.0");
    ASSERT_FALSE(walked.batches.empty());
    EXPECT_EQ(walked.batches.back(), std::to_string(row.status) + ":");
  }
}

TEST(SourceServer, SubnetNotReportedMakesTheSourceBeAskedAgain) {
  auto owned = std::make_unique<ScriptedSource>(kSubnets, kLeases);
  ScriptedSource& source = *owned;
  SourceServer server(std::move(owned));
  EXPECT_EQ(server.GetClients(Address("10.9.0.0"), 0).status, dhcp_status::kSubnetNotPresent);
  EXPECT_EQ(source.subnetCalls, 1);
  source.SetSubnets({"10.9.0.0/16"});
  EXPECT_EQ(BatchText(server.GetClients(Address("10.9.0.0"), 0)), "0: 10.9.0.1");
  EXPECT_EQ(source.subnetCalls, 2);
  source.subnetStatus = dhcp_status::kAccessDenied;
  EXPECT_EQ(server.GetClients(Address("10.3.0.0"), 0).status, dhcp_status::kAccessDenied);
  EXPECT_EQ(server.GetSubnets().status, dhcp_status::kAccessDenied);
}

// Random subnets (nested, side by side, at one address, with host bits) over a small space,
// random leases and steps: every lease that a subnet holds comes once, under the network address
// of the longest prefix that holds it, in ascending order, whatever the handles; no other lease.
TEST(SourceServer, EveryLeaseComesOnceUnderTheLongestPrefixThatHoldsIt) {
  std::mt19937 random(20240518);
  const std::uint32_t base = Address("10.0.0.0");
  for (int round = 0; round < 400; ++round) {
    std::vector<Ipv4Prefix> subnets;
    for (int i = std::uniform_int_distribution<>(1, 6)(random); i > 0; --i) {
      auto length = static_cast<std::uint8_t>(std::uniform_int_distribution<>(23, 32)(random));
      subnets.push_back(
          {base + std::uniform_int_distribution<std::uint32_t>(0, 511)(random), length});
    }
    std::vector<std::string> subnetTexts;
    for (const Ipv4Prefix& subnet : subnets) {
      subnetTexts.push_back(FormatIpv4Address(subnet.address) + "/" +
                            std::to_string(subnet.length));
    }
    std::vector<std::string> leaseTexts;
    for (std::uint32_t offset = 0; offset < 1024; ++offset) {
      if (std::uniform_int_distribution<>(0, 3)(random) == 0) {
        leaseTexts.push_back(FormatIpv4Address(base - 256 + offset));
      }
    }
    std::vector<const char*> subnetNames;
    for (const std::string& text : subnetTexts) {
      subnetNames.push_back(text.c_str());
    }
    std::vector<const char*> leaseNames;
    for (const std::string& text : leaseTexts) {
      leaseNames.push_back(text.c_str());
    }
    // What each network address must bring, worked out lease by lease.
    std::map<std::uint32_t, std::vector<std::uint32_t>> expected;
    for (const std::string& text : leaseTexts) {
      std::uint32_t address = Address(text.c_str());
      const Ipv4Prefix* owner = nullptr;
      for (const Ipv4Prefix& subnet : subnets) {
        DHCP_IP_MASK mask = MaskOfPrefixLength(subnet.length);
        if ((address & mask) == (subnet.address & mask) &&
            (owner == nullptr || subnet.length > owner->length)) {
          owner = &subnet;
        }
      }
      if (owner != nullptr) {
        expected[owner->address & MaskOfPrefixLength(owner->length)].push_back(address);
      }
    }
    SourceServer server(std::make_unique<ScriptedSource>(
        subnetNames, leaseNames, std::uniform_int_distribution<std::size_t>(1, 40)(random)));
    SourceReply<std::vector<DHCP_IP_ADDRESS>> positions = server.GetSubnets();
    ASSERT_EQ(positions.status, dhcp_status::kSuccess);
    std::map<std::uint32_t, std::vector<std::uint32_t>> seen;
    for (DHCP_IP_ADDRESS position : positions.value) {
      std::vector<std::uint32_t>& got = seen[position];
      DHCP_RESUME_HANDLE resume = 0;
      for (int batches = 0;; ++batches) {
        ASSERT_LT(batches, 2000);
        ClientBatch batch = server.GetClients(position, resume);
        ASSERT_TRUE(batch.status == dhcp_status::kSuccess || batch.status == dhcp_status::kMoreData)
            << batch.status;
        for (const SourceLease& lease : batch.leases) {
          got.push_back(lease.address);
        }
        if (batch.status == dhcp_status::kSuccess) {
          break;
        }
        ASSERT_GT(batch.resume, resume);
        resume = batch.resume;
        // Now and then a handle given out starts a walk afresh, as another subnet's walk would.
        if (std::uniform_int_distribution<>(0, 4)(random) == 0) {
          server.GetClients(positions.value.front(), 0);
        }
      }
      if (got.empty()) {
        seen.erase(position);
      }
    }
    EXPECT_EQ(seen, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace platform::sources
