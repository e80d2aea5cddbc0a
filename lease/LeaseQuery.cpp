#include "lease/LeaseQuery.h"

#include <unordered_set>

#include "lease/AddressFormat.h"
#include "lease/ConsoleLine.h"
#include "lease/DhcpArrays.h"
#include "lease/Enumeration.h"
#include "lease/StatusLines.h"
#include "platform/DhcpApi.h"
#include "platform/TextEncoding.h"

namespace lease {
namespace {

_DHCPUnit RecordOf(const DHCP_CLIENT_INFO& client) {
  _DHCPUnit unit;
  const DHCP_BINARY_DATA& hardware = client.ClientHardwareAddress;
  unit.MacAddress =
      FormatHardwareAddress(hardware.Data != nullptr ? hardware.DataLength : 0, hardware.Data);
  if (client.ClientName != nullptr) {
    unit.HostName = platform::NarrowFromWide(client.ClientName);
    // Servers store fully qualified names with the root's full stop; the inventory wants one off.
    if (!unit.HostName.empty() && unit.HostName.back() == '.') {
      unit.HostName.pop_back();
    }
  }
  unit.IpAddress = FormatIpAddress(client.ClientIpAddress);
  return unit;
}

void AppendClients(const DHCP_CLIENT_INFO_ARRAY& clients, LeaseList& leases) {
  if (clients.Clients == nullptr) {
    return;
  }
  for (std::uint32_t i = 0; i < clients.NumElements; ++i) {
    if (clients.Clients[i] != nullptr) {
      leases.push_back(RecordOf(*clients.Clients[i]));
    }
  }
}

// The query's state: the server, the list it fills and the error lines it wrote.
class Query {
 public:
  Query(const std::string& server, LeaseList& leases)
      : server_(platform::WideFromNarrow(server)), leases_(leases) {}

  QueryOutcome Run() {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t status = DhcpGetVersion(server_.data(), &major, &minor);
    if (status != dhcp_status::kSuccess) {
      lines_.Write(status);
    } else {
      ReadSubnets();
    }
    return QueryOutcome{added_, !lines_.AnyWritten()};
  }

 private:
  // After 234 the next batch is read whatever this one held; a failed batch ends the
  // enumeration, but the subnets read before it are whole and stay.
  void ReadSubnets() {
    Enumerate<DhcpIpArrayPtr>(
        lines_,
        [this](DHCP_RESUME_HANDLE& resume, DhcpIpArrayPtr& batch) {
          DHCP_IP_ARRAY* answer = nullptr;
          std::uint32_t read = 0;
          std::uint32_t total = 0;
          std::uint32_t status = DhcpEnumSubnets(server_.data(), &resume, kDhcpPreferredMaximum,
                                                 &answer, &read, &total);
          batch.reset(answer);
          return status;
        },
        [this](const DHCP_IP_ARRAY& subnets) { ReadSubnetBatch(subnets); });
  }

  // A subnet that the server lists a second time, in this batch or an earlier one, was read
  // already: its leases must not be saved twice.
  void ReadSubnetBatch(const DHCP_IP_ARRAY& subnets) {
    auto count = static_cast<std::int32_t>(subnets.NumElements);
    WriteConsoleLine("DHCP Subnet number = " + std::to_string(count));
    if (count <= 0 || subnets.Elements == nullptr) {
      return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
      if (subnetsRead_.insert(subnets.Elements[i]).second) {
        ReadSubnetClients(subnets.Elements[i]);
      }
    }
  }

  // A subnet is saved whole or not at all: records of batches read before a failure are taken
  // out again, so that part of a subnet never passes for all of it.
  void ReadSubnetClients(DHCP_IP_ADDRESS subnet) {
    WriteConsoleLine("Reading position: " + FormatIpAddress(subnet));
    const auto before = static_cast<std::ptrdiff_t>(leases_.size());
    EnumerationEnd end = Enumerate<DhcpClientArrayPtr>(
        lines_,
        [this, subnet](DHCP_RESUME_HANDLE& resume, DhcpClientArrayPtr& batch) {
          DHCP_CLIENT_INFO_ARRAY* answer = nullptr;
          std::uint32_t read = 0;
          std::uint32_t total = 0;
          std::uint32_t status = DhcpEnumSubnetClients(
              server_.data(), subnet, &resume, kDhcpPreferredMaximum, &answer, &read, &total);
          batch.reset(answer);
          return status;
        },
        [this](const DHCP_CLIENT_INFO_ARRAY& clients) { AppendClients(clients, leases_); });
    if (end == EnumerationEnd::Failed) {
      leases_.erase(leases_.begin() + before, leases_.end());
      return;
    }
    added_ += static_cast<int>(static_cast<std::ptrdiff_t>(leases_.size()) - before);
  }

  std::u16string server_;
  LeaseList& leases_;
  StatusLines lines_;
  std::unordered_set<DHCP_IP_ADDRESS> subnetsRead_;
  int added_ = 0;
};

}  // namespace

QueryOutcome QueryServer(const std::string& server, LeaseList& leases) {
  return Query(server, leases).Run();
}

}  // namespace lease
