#include "bench/ServedRecords.h"

#include <algorithm>
#include <optional>
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

fake_dhcp::Lease ServedLease(std::uint32_t index) {
  BenchLease lease = BenchLeaseAt(index);
  return {lease.ipAddress,
          std::vector<std::uint8_t>(std::begin(lease.hardware), std::end(lease.hardware)),
          std::u16string(lease.hostName.begin(), lease.hostName.end())};
}

std::optional<fake_dhcp::ClientBatch> BatchOf(SubnetRange range, std::uint32_t batch) {
  const std::uint64_t first = range.first + std::uint64_t{batch} * kLeasesPerBatch;
  if (first >= range.end && !(batch == 0 && range.first == range.end)) {
    return std::nullopt;
  }
  const auto end =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(first + kLeasesPerBatch, range.end));
  fake_dhcp::ClientBatch answer;
  answer.status = end < range.end ? dhcp_status::kMoreData : dhcp_status::kSuccess;
  answer.leases.reserve(end - first);
  for (auto index = static_cast<std::uint32_t>(first); index < end; ++index) {
    answer.leases.push_back(ServedLease(index));
  }
  return answer;
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
  scenario.clientSource = [ranges](DHCP_IP_ADDRESS subnet, std::uint32_t batch) {
    for (const auto& [address, range] : ranges) {
      if (address == subnet) {
        return BatchOf(range, batch);
      }
    }
    return std::optional<fake_dhcp::ClientBatch>();
  };
  fake_dhcp::SetScenario(std::move(scenario));
}

}  // namespace bench
