#include "bench/ServedRecords.h"

#include <algorithm>
#include <vector>

#include "bench/BenchRecords.h"
#include "tests/fakes/FakeDhcpServer.h"

namespace bench {
namespace {

constexpr std::uint32_t kSubnets = 4;
// About what a 64 KB answer holds of records with names of this length.
constexpr std::uint32_t kLeasesPerBatch = 500;

// The records of one subnet: a quarter of them, the first subnets taking one more each when the
// count does not divide by four.
struct SubnetRange {
  std::uint32_t first;
  std::uint32_t end;
};

SubnetRange RangeOf(std::uint32_t subnet, std::uint32_t count) {
  const std::uint32_t share = count / kSubnets;
  const std::uint32_t extra = count % kSubnets;
  const std::uint32_t first = subnet * share + std::min(subnet, extra);
  return {first, first + share + (subnet < extra ? 1 : 0)};
}

// A subnet is named by the address of its first record.
DHCP_IP_ADDRESS SubnetAddress(SubnetRange range) {
  return BenchLeaseAt(range.first).ipAddress;
}

// As a server that keeps no comment and no owner names: the API's blocks are then the record, its
// hardware address and its name. The lease is filled in place, keeping the storage it has.
void FillServedLease(std::uint32_t index, fake_dhcp::Lease& served) {
  std::uint8_t hardware[6];
  BenchHardwareAt(index, hardware);
  served.ip = 0x0A000000u + index;
  served.hardware.assign(std::begin(hardware), std::end(hardware));
  if (!served.name) {
    served.name.emplace();
  }
  BenchNameBuffer buffer;
  const std::string_view name = BenchHostNameAt(index, buffer);
  served.name->assign(name.begin(), name.end());
  served.withOwnerTexts = false;
}

bool FillBatch(SubnetRange range, std::uint32_t batch, fake_dhcp::ClientBatch& answer) {
  const std::uint64_t first = range.first + std::uint64_t{batch} * kLeasesPerBatch;
  if (first >= range.end && !(batch == 0 && range.first == range.end)) {
    return false;
  }
  const auto end =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(first + kLeasesPerBatch, range.end));
  answer.status = end < range.end ? dhcp_status::kMoreData : dhcp_status::kSuccess;
  answer.withArray = true;
  answer.leases.resize(end - first);
  for (auto index = static_cast<std::uint32_t>(first); index < end; ++index) {
    FillServedLease(index, answer.leases[index - first]);
  }
  return true;
}

}  // namespace

void ServeBenchRecords(std::uint32_t count) {
  fake_dhcp::Scenario scenario;
  fake_dhcp::SubnetBatch subnets;
  std::vector<std::pair<DHCP_IP_ADDRESS, SubnetRange>> ranges;
  for (std::uint32_t subnet = 0; subnet < kSubnets; ++subnet) {
    const SubnetRange range = RangeOf(subnet, count);
    subnets.subnets.push_back(SubnetAddress(range));
    ranges.emplace_back(SubnetAddress(range), range);
  }
  scenario.subnetBatches = {subnets};
  scenario.clientSource = [ranges](DHCP_IP_ADDRESS subnet, std::uint32_t batch,
                                   fake_dhcp::ClientBatch& answer) {
    for (const auto& [address, range] : ranges) {
      if (address == subnet) {
        return FillBatch(range, batch, answer);
      }
    }
    return false;
  };
  fake_dhcp::SetScenario(std::move(scenario));
}

}  // namespace bench
